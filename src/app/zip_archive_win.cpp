#include "app/zip_archive_win.h"

#include <windows.h>

#include <algorithm>
#include <condition_variable>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <vector>

#include "app/archive_names.h"
#include "app/zip_reader.h"
#include "app/zip_writer.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

std::wstring Upper(std::wstring s) {
  if (!s.empty())
    ::CharUpperBuffW(s.data(), static_cast<DWORD>(s.size()));
  return s;
}

// The system's reason is taken before the message is built, which may change the last error.
[[noreturn]] void Fail(DWORD code, const std::string& what) {
  throw ZipWriteError(what + ": " + SystemErrorText(code));
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
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_BEGIN)) {
      const DWORD code = ::GetLastError();
      Fail(code, "cannot seek in " + path_);
    }
    WriteAllToHandle(file_, std::string_view(static_cast<const char*>(data), size), path_);
    at.QuadPart = 0;
    if (!::SetFilePointerEx(file_, at, nullptr, FILE_END)) {
      const DWORD code = ::GetLastError();
      Fail(code, "cannot seek in " + path_);
    }
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

class FileSource : public ZipSource {
 public:
  explicit FileSource(HANDLE file) : file_(file) {}
  size_t Read(void* buffer, size_t size) override {
    DWORD got = 0;
    if (!::ReadFile(file_, buffer, static_cast<DWORD>(size), &got, nullptr))
      return 0;
    return got;
  }

 private:
  HANDLE file_;
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
  file.reset(::CreateFileW(f.path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
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

// Writes one file as a new entry, streaming it; false when it cannot be opened (passed over
// silently).
bool AddFile(ZipWriter& writer, const PackFile& f) {
  UniqueHandle file;
  ZipFileFacts facts;
  if (!OpenForPacking(f, file, facts))
    return false;
  FileSource source(file.get());
  writer.AddFile(facts, source);
  return true;
}

// The last-write stamp of a file in the stored form, or 0 when it cannot be read.
uint32_t FileDosStamp(const std::wstring& path) {
  UniqueHandle file(::CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
  if (!file)
    return 0;
  uint16_t d = 0, t = 0;
  DosTimeOf(file.get(), d, t);
  return DosStamp(d, t);
}

// Compresses the files of a list ahead of the writer on worker threads, a bounded window of
// files at a time, each into memory up to a limit. The writer takes the results in list order;
// a file too large for memory is left to the writer to stream itself.
class AheadCompressor {
 public:
  enum class State { kPending, kReady, kCannotOpen, kStream };
  struct Result {
    State state = State::kPending;
    ZipFileFacts facts;
    DeflatedData data;
  };

  AheadCompressor(const std::vector<PackFile>& files, int level)
      : files_(files), level_(level), results_(files.size()) {
    SYSTEM_INFO si;
    ::GetSystemInfo(&si);
    const unsigned workers = std::clamp<unsigned>(si.dwNumberOfProcessors, 1, 4);
    window_ = 4 * workers;
    for (unsigned i = 0; i < workers && i < files.size(); ++i)
      threads_.emplace_back([this] { Work(); });
  }
  ~AheadCompressor() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      stop_ = true;
    }
    changed_.notify_all();
    for (std::thread& t : threads_)
      t.join();
  }
  AheadCompressor(const AheadCompressor&) = delete;
  AheadCompressor& operator=(const AheadCompressor&) = delete;

  // Waits for the result of file i (taken in order) and hands it over.
  Result Take(size_t i) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return results_[i].state != State::kPending; });
    Result r = std::move(results_[i]);
    results_[i] = Result{State::kStream, {}, {}};
    taken_ = i + 1;
    changed_.notify_all();
    return r;
  }

 private:
  // Compressed bytes kept in memory per file; larger files are streamed by the writer.
  static constexpr size_t kMemoryLimit = 8u << 20;

  void Work() {
    for (;;) {
      size_t i;
      {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock,
                      [&] { return stop_ || next_ >= files_.size() || next_ < taken_ + window_; });
        if (stop_ || next_ >= files_.size())
          return;
        i = next_++;
      }
      Result r;
      try {
        UniqueHandle file;
        if (!OpenForPacking(files_[i], file, r.facts)) {
          r.state = State::kCannotOpen;
        } else if (r.facts.size > kMemoryLimit * 2) {
          r.state = State::kStream;
        } else {
          FileSource source(file.get());
          r.state = DeflateToMemory(source, level_, kMemoryLimit, r.data) ? State::kReady
                                                                          : State::kStream;
        }
      } catch (...) {
        r = Result{State::kStream, {}, {}};
      }
      {
        std::lock_guard<std::mutex> lock(mutex_);
        results_[i] = std::move(r);
      }
      changed_.notify_all();
    }
  }

  const std::vector<PackFile>& files_;
  const int level_;
  std::vector<Result> results_;
  size_t window_ = 4, next_ = 0, taken_ = 0;
  bool stop_ = false;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::thread> threads_;
};

// Writes the files of the list not yet in the archive (the first file of a stored name wins).
size_t AppendFiles(ZipWriter& writer, const std::vector<PackFile>& all_files,
                   std::set<std::wstring>& names) {
  // Only the files whose names the archive does not hold yet are worth compressing ahead.
  std::vector<PackFile> files;
  for (const PackFile& f : all_files) {
    if (!names.count(f.key))
      files.push_back(f);
  }
  size_t written = 0;
  AheadCompressor ahead(files, writer.level());
  for (size_t i = 0; i < files.size(); ++i) {
    AheadCompressor::Result r = ahead.Take(i);
    const PackFile& f = files[i];
    if (names.count(f.key) || r.state == AheadCompressor::State::kCannotOpen)
      continue;
    if (r.state == AheadCompressor::State::kReady)
      writer.AddDeflated(r.facts, r.data);
    else if (!AddFile(writer, f))
      continue;
    names.insert(f.key);
    ++written;
  }
  return written;
}

// The old archive mapped into memory for reading.
class MappedFile {
 public:
  explicit MappedFile(const std::wstring& path) {
    file_.reset(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file_) {
      const DWORD code = ::GetLastError();
      Fail(code, "cannot open the archive " + Narrow(path));
    }
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file_.get(), &size)) {
      const DWORD code = ::GetLastError();
      Fail(code, "cannot read the size of " + Narrow(path));
    }
    if (size.QuadPart == 0)
      return;
    if (static_cast<uint64_t>(size.QuadPart) > SIZE_MAX / 2)
      throw ZipWriteError(Narrow(path) + " is too large to update");
    mapping_.reset(::CreateFileMappingW(file_.get(), nullptr, PAGE_READONLY, 0, 0, nullptr));
    if (mapping_)
      view_.reset(::MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!view_) {
      const DWORD code = ::GetLastError();
      Fail(code, "cannot map the archive " + Narrow(path));
    }
    bytes_ =
        std::string_view(static_cast<const char*>(view_.get()), static_cast<size_t>(size.QuadPart));
  }
  std::string_view bytes() const { return bytes_; }

 private:
  UniqueHandle file_, mapping_;
  UniqueMappedView view_;
  std::string_view bytes_;
};

std::wstring DecodeStoredName(const ZipEntry& e) {
  return Widen(e.flags & 0x0800 ? e.name : CodePageToUtf8(e.name, CP_OEMCP));
}

size_t WriteNew(const std::wstring& path, const std::vector<PackFile>& files, int level) {
  UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD code = ::GetLastError();
    Fail(code, "cannot create the archive " + Narrow(path));
  }
  try {
    FileSink sink(file.get(), Narrow(path));
    ZipWriter writer(sink, level);
    std::set<std::wstring> names;
    const size_t written = AppendFiles(writer, files, names);
    writer.Finish();
    sink.Flush();
    file.reset();
    return written;
  } catch (...) {
    file.reset();
    ::DeleteFileW(path.c_str());
    throw;
  }
}

// Builds the updated archive in `temp`: the old entries in their order, each replaced by a newer
// file of its name, then the files not yet in it.
size_t WriteUpdated(const std::wstring& path, const std::wstring& temp,
                    const std::vector<PackFile>& files, int level) {
  MappedFile old(path);
  ZipReader reader;
  std::string error;
  if (!reader.Open(old.bytes(), error))
    throw ZipWriteError(Narrow(path) + " is not a readable archive: " + error);
  UniqueHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) {
    const DWORD code = ::GetLastError();
    Fail(code, "cannot open the temporary file " + Narrow(temp));
  }
  FileSink sink(file.get(), Narrow(temp));
  ZipWriter writer(sink, level);
  std::map<std::wstring, size_t> by_name;  // the first file of each stored name
  for (size_t i = 0; i < files.size(); ++i)
    by_name.emplace(files[i].key, i);
  std::set<std::wstring> names;
  size_t written = 0;
  for (const ZipEntry& e : reader.entries()) {
    const std::wstring key = Upper(DecodeStoredName(e));
    const auto match = by_name.find(key);
    if (match != by_name.end() && !names.count(key)) {
      const PackFile& f = files[match->second];
      if (FileDosStamp(f.path) > DosStamp(e.dos_date, e.dos_time) && AddFile(writer, f)) {
        names.insert(key);
        ++written;
        continue;
      }
    }
    std::string_view raw;
    if (!reader.RawData(e, raw, error))
      throw ZipWriteError(Narrow(path) + " is not a readable archive: " + error);
    writer.AddRawEntry(e, raw);
    names.insert(key);
  }
  written += AppendFiles(writer, files, names);
  writer.Finish();
  sink.Flush();
  return written;
}

size_t Update(const std::wstring& path, const std::vector<PackFile>& files, int level) {
  wchar_t temp_name[MAX_PATH + 1] = {};
  if (!::GetTempFileNameW(Widen(TempFolder()).c_str(), L"kzp", 0, temp_name)) {
    const DWORD code = ::GetLastError();
    Fail(code, "cannot create a temporary file");
  }
  const std::wstring temp = temp_name;
  size_t written = 0;
  try {
    written = WriteUpdated(path, temp, files, level);
  } catch (...) {
    ::DeleteFileW(temp.c_str());
    throw;
  }
  if (!::MoveFileExW(temp.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    throw ZipWriteError("cannot replace " + Narrow(path) + ": " + SystemErrorText(code));
  }
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
  const DWORD a = ::GetFileAttributesW(path.c_str());
  const bool exists = a != INVALID_FILE_ATTRIBUTES;
  std::vector<PackFile> files = ExpandEntries(entries, {path});
  if (!exists)
    return WriteNew(path, files, level);
  return Update(path, files, level);
}

}  // namespace kovra::win
