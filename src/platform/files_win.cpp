#include "platform/files_win.h"

#include <windows.h>

#include <stdexcept>

#include "base/text.h"
#include "platform/buffer_win.h"
#include "platform/errors_win.h"
#include "platform/handles_win.h"
#include "platform/planted_names_win.h"
#include "platform/user_domain_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

std::string ExpandEnvironmentText(const std::string& text) {
  const std::wstring source = Widen(text);
  // The call counts the terminating NUL in both of its answers.
  return Narrow(GrowWideBuffer([&source](wchar_t* b, DWORD n) -> DWORD {
    const DWORD r = ::ExpandEnvironmentStringsW(source.c_str(), b, n);
    return r == 0 ? 0 : r <= n ? r - 1 : r;
  }));
}

namespace {

std::string HexText(DWORD value) {
  std::string text(8, '0');
  for (int i = 7; i >= 0; --i, value >>= 4)
    text[static_cast<size_t>(i)] = "0123456789ABCDEF"[value & 0xF];
  return text;
}

// A new file beside `destination`, created with CREATE_NEW under a name not yet taken; its
// path in `temp`.
UniqueHandle CreateNewBeside(const std::string& destination, const wchar_t* prefix,
                             std::wstring& temp) {
  const std::wstring wide = Widen(destination);
  const size_t slash = wide.find_last_of(L"\\/");
  const std::wstring folder =
      slash == std::wstring::npos ? std::wstring() : wide.substr(0, slash + 1);
  static LONG counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    const DWORD unique = static_cast<DWORD>(::InterlockedIncrement(&counter)) * 0x9E3779B1u ^
                         ::GetTickCount() ^ (::GetCurrentProcessId() << 16);
    temp = folder + prefix + Widen(HexText(unique)) + L".tmp";
    UniqueHandle file(::CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file || ::GetLastError() != ERROR_FILE_EXISTS)
      return file;
  }
  return UniqueHandle();
}

}  // namespace

void ReplaceThroughTemporary(const std::string& destination, const wchar_t* prefix,
                             const std::function<void(HANDLE file, const std::string& temp)>& write,
                             const TemporaryWriteErrors& errors) {
  // In the user's domain the new file is made and moved with the user's own rights.
  const ScopedUserAccess access(destination);
  std::wstring temp;
  UniqueHandle file = CreateNewBeside(destination, prefix, temp);
  if (!file)
    ThrowLastError(errors.create, errors.create_subject);
  try {
    write(file.get(), Narrow(temp));
    file.reset();
  } catch (...) {
    file.reset();
    ::DeleteFileW(temp.c_str());
    throw;
  }
  const std::wstring target = Widen(destination);
  // A link to a folder at the name cannot be moved over: removed first (the link, not what it
  // leads to). A file link or a second name of another file is replaced by the move itself.
  const DWORD a = ::GetFileAttributesW(target.c_str());
  if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
      (a & FILE_ATTRIBUTE_DIRECTORY) != 0)
    (void)RemoveLinkAt(target);
  if (!::MoveFileExW(temp.c_str(), target.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    const DWORD code = ::GetLastError();
    ::DeleteFileW(temp.c_str());
    ThrowSystemError(code, errors.move, destination);
  }
}

void SaveListAnsi(const std::vector<std::string>& lines, const std::string& path) {
  std::string bytes;
  for (const std::string& line : lines)
    bytes.append(Utf8ToCodePage(line, CP_ACP)).append("\r\n");
  WriteFileBytes(path, bytes);
}

std::string SystemProgramPath(std::string_view program) {
  return IncludeTrailingBackslash(Narrow(GrowWideBuffer([](wchar_t* b, DWORD n) {
           return static_cast<DWORD>(::GetSystemDirectoryW(b, n));
         }))) +
         std::string(program);
}

std::string WindowsProgramPath(std::string_view program) {
  return IncludeTrailingBackslash(Narrow(GrowWideBuffer([](wchar_t* b, DWORD n) {
           return static_cast<DWORD>(::GetWindowsDirectoryW(b, n));
         }))) +
         std::string(program);
}

std::string ExePath() {
  return Narrow(
      GrowWideBuffer([](wchar_t* b, DWORD n) { return ::GetModuleFileNameW(nullptr, b, n); }));
}

std::string ExeFolder() {
  const std::string path = ExePath();
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string TempFolder() {
  return JudgedTempFolder().path;
}

bool FileExists(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool DirectoryExists(const std::string& path) {
  const DWORD a = ::GetFileAttributesW(Widen(path).c_str());
  return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceDirectories(const std::string& path) {
  const std::string dir = ExcludeTrailingBackslash(path);
  if (dir.empty())
    return false;
  if (DirectoryExists(dir))
    return true;
  const size_t slash = dir.find_last_of('\\');
  if (slash != std::string::npos && slash > 0) {
    const std::string parent = dir.substr(0, slash);
    // Stop at a drive root ("C:") or a UNC share; those cannot be created.
    if (!(parent.size() == 2 && parent[1] == ':') && !ForceDirectories(parent))
      return false;
  }
  return ::CreateDirectoryW(Widen(dir).c_str(), nullptr) || DirectoryExists(dir);
}

bool DeleteFilePath(const std::string& path) {
  const std::wstring wide = Widen(path);
  const ScopedUserAccess access(path);
  switch (InspectName(wide)) {
    case NameKind::kAbsent:
      ::SetLastError(ERROR_FILE_NOT_FOUND);
      return false;
    case NameKind::kLink:
    case NameKind::kHardLink:
      return RemoveLinkAt(wide);
    case NameKind::kFolder:
      ::SetLastError(ERROR_ACCESS_DENIED);
      return false;
    case NameKind::kFile:
      break;
  }
  // A link to a file may look like a plain file (Wine's Unix links), and a delete by name
  // could then go through it: a new empty file of ours is moved onto the name first (a move
  // replaces the name itself), and that file is deleted.
  try {
    ReplaceThroughTemporary(path, L"kd", [](HANDLE, const std::string&) {}, {"", {}, ""});
  } catch (const std::exception&) {
    return false;  // held by another program, or denied: the name stays as it was
  }
  return ::DeleteFileW(wide.c_str()) != 0;
}

std::string FullPathName(const std::string& path) {
  const std::wstring w = Widen(path);
  const std::wstring full = GrowWideBuffer(
      [&w](wchar_t* b, DWORD n) { return ::GetFullPathNameW(w.c_str(), n, b, nullptr); });
  return full.empty() ? path : Narrow(full);
}

std::string ReadFileBytes(const std::string& path) {
  UniqueHandle file(::CreateFileW(Widen(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file)
    ThrowLastError("Cannot open", path);
  LARGE_INTEGER size;
  if (!::GetFileSizeEx(file.get(), &size))
    ThrowLastError("Cannot size", path);
  if (size.QuadPart > 0x7FFFFFFF)
    throw std::runtime_error("File too large: " + path);
  std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
  DWORD done = 0;
  size_t total = 0;
  while (total < bytes.size()) {
    if (!::ReadFile(file.get(), bytes.data() + total, static_cast<DWORD>(bytes.size() - total),
                    &done, nullptr)) {
      ThrowLastError("Cannot read", path);
    }
    if (done == 0)
      break;
    total += done;
  }
  bytes.resize(total);
  return bytes;
}

void WriteFileBytes(const std::string& path, const std::string& bytes) {
  ReplaceThroughTemporary(
      path, L"kw",
      [&bytes](HANDLE file, const std::string& temp) { WriteAllToHandle(file, bytes, temp); },
      {"Cannot create", path, "Cannot create"});
}

bool ReadFileAt(void* file, uint64_t offset, void* buffer, size_t size) {
  auto* p = static_cast<char*>(buffer);
  while (size > 0) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    const DWORD want = static_cast<DWORD>(size < (1u << 20) ? size : (1u << 20));
    DWORD got = 0;
    if (!::ReadFile(file, p, want, &got, &at) || got == 0)
      return false;
    p += got, offset += got, size -= got;
  }
  return true;
}

void WriteAllToHandle(void* file, std::string_view bytes, const std::string& path) {
  size_t total = 0;
  while (total < bytes.size()) {
    DWORD done = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - total, 1u << 20));
    if (!::WriteFile(file, bytes.data() + total, chunk, &done, nullptr) || done == 0) {
      ThrowLastError("Cannot write", path);
    }
    total += done;
  }
}

}  // namespace kovra::win
