#include "archive/zip_archive_win.h"

#include <windows.h>

#include <algorithm>
#include <memory>
#include <set>
#include <vector>

#include "archive/archive_names.h"
#include "archive/pack_files.h"
#include "archive/zip_reader.h"
#include "archive/zip_writer.h"
#include "platform/errors_win.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/planted_names_win.h"
#include "platform/user_domain_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

std::wstring Upper(std::wstring s) {
  if (!s.empty())
    ::CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// Appends to the archive file through a buffer; the header rewrite goes into the buffer while
// the header is still there, and to the file otherwise.
class FileSink : public ZipSink {
 public:
  FileSink(HANDLE file, std::string path) : file_(file), path_(std::move(path)) {
    buffer_.reserve(kBuffer);
  }
  void Write(const void* data, size_t size) override {
    const char* p = static_cast<const char*>(data);
    buffer_.insert(buffer_.end(), p, p + size);
    if (buffer_.size() >= kBuffer)
      Flush();
  }
  void WriteAt(uint64_t offset, const void* data, size_t size) override {
    if (offset >= flushed_) {
      memcpy(buffer_.data() + (offset - flushed_), data, size);
      return;
    }
    Flush();
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN))
      ThrowLastError("cannot seek in", path_);
    WriteAllToHandle(file_, std::string_view(static_cast<const char*>(data), size), path_);
    at.QuadPart = 0;
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_END))
      ThrowLastError("cannot seek in", path_);
  }
  uint64_t Position() const override { return flushed_ + buffer_.size(); }
  void Flush() {
    if (buffer_.empty())
      return;
    WriteAllToHandle(file_, std::string_view(buffer_.data(), buffer_.size()), path_);
    flushed_ += buffer_.size();
    buffer_.clear();
  }

 private:
  static constexpr size_t kBuffer = 1 << 20;
  HANDLE file_;
  std::string path_;
  std::vector<char> buffer_;
  uint64_t flushed_ = 0;
};

// A file of the expanded list, with its stored name.
struct PackFile {
  std::wstring path;
  std::wstring stored;  // the stored name as text
  std::wstring key;     // upper case, for the comparisons that ignore case
};

bool SamePath(const std::wstring& a, const std::wstring& b) {
  return ::lstrcmpiW(a.c_str(), b.c_str()) == 0;
}

// Step 1 of the writing: plain file entries first, then the patterns, walked depth first.
std::vector<PackFile> ExpandEntries(const StringList& entries,
                                    const std::vector<std::wstring>& never_take) {
  std::vector<std::wstring> paths;
  std::vector<std::wstring> patterns;
  for (const std::string& entry : entries) {
    if (entry.empty())
      continue;
    if (IsArchivePattern(entry)) {
      patterns.push_back(Widen(entry));
      continue;
    }
    const std::wstring path = Widen(entry);
    const DWORD a = ::GetFileAttributesW(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES ||
        (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) != 0)
      continue;
    paths.push_back(path);
  }
  for (const std::wstring& pattern : patterns) {
    const size_t slash = pattern.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"." : pattern.substr(0, slash);
    const std::wstring wildcard =
        Upper(slash == std::wstring::npos ? pattern : pattern.substr(slash + 1));
    const DWORD a = ::GetFileAttributesW(folder.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & FILE_ATTRIBUTE_DIRECTORY) == 0)
      continue;
    WalkFolder(folder, WalkOptions{}, [&](const std::wstring& path, const WIN32_FIND_DATAW& d) {
      if (MatchFileWildcard(std::wstring_view(Upper(d.cFileName)), std::wstring_view(wildcard)))
        paths.push_back(path);
      return true;
    });
  }
  std::vector<PackFile> files;
  std::set<std::wstring> seen;  // a file named twice (a pattern given twice) is packed once
  for (const std::wstring& path : paths) {
    const std::wstring full = Widen(FullPathName(Narrow(path)));
    if (!seen.insert(Upper(full)).second)
      continue;
    bool excluded = false;
    for (const std::wstring& n : never_take)
      excluded |= SamePath(full, n);
    if (excluded)
      continue;
    PackFile f;
    f.path = path;
    f.stored = Widen(ZipStoredName(Narrow(full)));
    f.key = Upper(f.stored);
    files.push_back(std::move(f));
  }
  return files;
}

// Local time and date of the last write, in MS-DOS form.
void DosTimeOf(HANDLE file, uint16_t& dos_date, uint16_t& dos_time) {
  FILETIME write{}, local{};
  WORD d = 0, t = 0;
  if (::GetFileTime(file, nullptr, nullptr, &write) && ::FileTimeToLocalFileTime(&write, &local))
    ::FileTimeToDosDateTime(&local, &d, &t);
  dos_date = d;
  dos_time = t;
}

// Opens a file and gathers its header facts; false when it cannot be opened.
bool OpenForPacking(const PackFile& f, UniqueHandle& file, ZipFileFacts& facts) {
  try {
    // A link or a second name of another file is passed over like a file that cannot be
    // opened: it could lead to a file that the report's readers may not read.
    file = OpenPlainFileForReading(f.path, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   FILE_FLAG_SEQUENTIAL_SCAN);
  } catch (const PlantedNameError&) {
    return false;
  }
  if (!file)
    return false;
  facts.name = EncodeEntryName(f.stored, facts.utf8);
  DosTimeOf(file.get(), facts.dos_date, facts.dos_time);
  const DWORD attributes = ::GetFileAttributesW(f.path.c_str());
  facts.attributes = attributes == INVALID_FILE_ATTRIBUTES ? 0 : attributes;
  LARGE_INTEGER size{};
  ::GetFileSizeEx(file.get(), &size);
  facts.size = static_cast<uint64_t>(size.QuadPart);
  return true;
}

// A file's bytes for the writer; it owns the open file.
class FileSource : public ZipSource {
 public:
  explicit FileSource(UniqueHandle file) : file_(std::move(file)) {}
  size_t Read(void* buffer, size_t size) override {
    DWORD got = 0;
    if (!::ReadFile(file_.get(), buffer, static_cast<DWORD>(size), &got, nullptr))
      return 0;
    return got;
  }

 private:
  UniqueHandle file_;
};

// The expanded list as the portable packing rules see it.
class WinPackFiles : public PackFiles {
 public:
  explicit WinPackFiles(const std::vector<PackFile>& files) : files_(files) {}
  size_t Count() const override { return files_.size(); }
  std::string Key(size_t i) const override { return Narrow(files_[i].key); }
  std::unique_ptr<ZipSource> Open(size_t i, ZipFileFacts& facts) const override {
    UniqueHandle file;
    if (!OpenForPacking(files_[i], file, facts))
      return nullptr;
    return std::make_unique<FileSource>(std::move(file));
  }
  uint32_t Stamp(size_t i) const override {
    UniqueHandle file(::CreateFileW(files_[i].path.c_str(), FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    if (!file)
      return 0;
    uint16_t d = 0, t = 0;
    DosTimeOf(file.get(), d, t);
    return DosStamp(d, t);
  }

 private:
  const std::vector<PackFile>& files_;
};

PackOptions DefaultPackOptions() {
  SYSTEM_INFO si;
  ::GetSystemInfo(&si);
  PackOptions options;
  options.workers = std::clamp<unsigned>(si.dwNumberOfProcessors, 1, 4);
  return options;
}

// The old archive read at offsets, piece by piece: an archive of any size can be updated.
class FileInput : public ZipInput {
 public:
  explicit FileInput(const std::wstring& path) {
    file_ = OpenPlainFileForReading(path, FILE_SHARE_READ, FILE_FLAG_RANDOM_ACCESS);
    if (!file_)
      ThrowLastError("cannot open the archive", Narrow(path));
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file_.get(), &size))
      ThrowLastError("cannot read the size of", Narrow(path));
    size_ = static_cast<uint64_t>(size.QuadPart);
  }
  uint64_t Size() const override { return size_; }
  bool ReadAt(uint64_t offset, void* buffer, size_t size) override {
    return offset <= size_ && size <= size_ - offset &&
           ReadFileAt(file_.get(), offset, buffer, size);
  }

 private:
  UniqueHandle file_;
  uint64_t size_ = 0;
};

std::wstring DecodeStoredName(const ZipEntry& e) {
  return Widen(e.flags & 0x0800 ? e.name : CodePageToUtf8(e.name, CP_OEMCP));
}

size_t WriteNew(const std::wstring& path, const std::vector<PackFile>& files, int level) {
  UniqueHandle file;
  {
    const ScopedUserAccess access(path);
    file.reset(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                             FILE_ATTRIBUTE_NORMAL, nullptr));
  }
  if (!file)
    ThrowLastError("cannot create the archive", Narrow(path));
  try {
    FileSink sink(file.get(), Narrow(path));
    ZipWriter writer(sink, level);
    writer.SetDeflateThreads(DefaultPackOptions().workers);
    std::set<std::string> names;
    const size_t written = AppendFiles(writer, WinPackFiles(files), names, DefaultPackOptions());
    writer.Finish();
    sink.Flush();
    file.reset();
    return written;
  } catch (...) {
    file.reset();
    const ScopedUserAccess access(path);
    ::DeleteFileW(path.c_str());
    throw;
  }
}

// Builds the updated archive in `temp`. A file at the path that is no readable archive is
// replaced by a fresh one: nothing of it could be kept, and left there it would fail every
// later update the same way.
size_t WriteUpdated(const std::wstring& path, HANDLE file, const std::string& temp,
                    const std::vector<PackFile>& files, int level) {
  FileInput old(path);
  ZipReader reader;
  std::string error;
  const bool readable = reader.Open(old, error);
  FileSink sink(file, temp);
  ZipWriter writer(sink, level);
  writer.SetDeflateThreads(DefaultPackOptions().workers);
  std::set<std::string> names;
  const size_t written =
      readable ? UpdateArchive(
                     reader, [](const ZipEntry& e) { return Narrow(Upper(DecodeStoredName(e))); },
                     writer, WinPackFiles(files), DefaultPackOptions())
               : AppendFiles(writer, WinPackFiles(files), names, DefaultPackOptions());
  writer.Finish();
  sink.Flush();
  return written;
}

size_t Update(const std::wstring& path, const std::vector<PackFile>& files, int level) {
  size_t written = 0;
  ReplaceThroughTemporary(Narrow(path), L"kzp",
                          [&](HANDLE file, const std::string& temp) {
                            written = WriteUpdated(path, file, temp, files, level);
                          },
                          {"cannot create a temporary file", {}, "cannot replace"});
  return written;
}

}  // namespace

std::string EncodeEntryName(const std::wstring& stored_name, bool& utf8) {
  utf8 = true;
  const std::string as_utf8 = Narrow(stored_name);
  const std::string ansi = Utf8ToCodePage(as_utf8, CP_ACP);
  const std::wstring back = Widen(CodePageToUtf8(ansi, CP_ACP));
  if (::lstrcmpiW(back.c_str(), stored_name.c_str()) != 0)
    return as_utf8;
  std::string oem(ansi.size(), '\0'), again(ansi.size(), '\0');
  if (!ansi.empty()) {
    ::CharToOemBuffA(ansi.c_str(), oem.data(), static_cast<DWORD>(ansi.size()));
    ::OemToCharBuffA(oem.c_str(), again.data(), static_cast<DWORD>(oem.size()));
  }
  if (::lstrcmpiA(again.c_str(), ansi.c_str()) != 0)
    return as_utf8;
  utf8 = false;
  return oem;
}

size_t WriteZipArchive(const StringList& entries, const std::string& archive_path, int level) {
  const std::wstring path = Widen(FullPathName(archive_path));
  // A link or a second name of another file at the archive's name is no archive of ours: the
  // name is freed (never followed) and a new archive written.
  if (!RemoveLinkAt(path))
    ThrowLastError("cannot remove the link at", Narrow(path));
  const DWORD a = ::GetFileAttributesW(path.c_str());
  const bool exists = a != INVALID_FILE_ATTRIBUTES;
  std::vector<PackFile> files = ExpandEntries(entries, {path});
  if (!exists)
    return WriteNew(path, files, level);
  return Update(path, files, level);
}

}  // namespace kovra::win
