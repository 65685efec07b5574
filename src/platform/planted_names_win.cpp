#include "platform/planted_names_win.h"

#include "platform/files_win.h"
#include "platform/optional_function_win.h"
#include "platform/win_text_win.h"
#include "platform/user_domain_win.h"

namespace kovra::win {

namespace {

NameKind KindOf(const BY_HANDLE_FILE_INFORMATION& info) {
  if (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return NameKind::kLink;
  if (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
    return NameKind::kFolder;
  return info.nNumberOfLinks > 1 ? NameKind::kHardLink : NameKind::kFile;
}

}  // namespace

NameKind InspectName(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return NameKind::kAbsent;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT)
    return NameKind::kLink;
  UniqueHandle h(::CreateFileW(
      path.c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!h || !::GetFileInformationByHandle(h.get(), &info)) {
    // Seen but not opened (locked, denied): judged by its attributes alone.
    return attributes & FILE_ATTRIBUTE_DIRECTORY ? NameKind::kFolder : NameKind::kFile;
  }
  return KindOf(info);
}

NameKind InspectName(const std::string& path) {
  return InspectName(Widen(path));
}

namespace {

// Deletes the link itself through a handle opened on the link (not on what it leads to):
// Windows Vista and later. False where the system cannot (Windows XP lacks the call; Wine
// refuses it for its Unix links, and it would follow them through every call by name).
bool DeleteLinkItself(const std::wstring& path, bool& supported) {
  using SetInfoFn = BOOL(WINAPI*)(HANDLE, int, LPVOID, DWORD);
  const auto set_info = SystemFunction<SetInfoFn>(L"kernel32.dll", "SetFileInformationByHandle");
  supported = set_info != nullptr;
  if (!supported)
    return false;
  UniqueHandle link(::CreateFileW(
      path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
      OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT | FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  constexpr int kFileDispositionInfo = 4;
  BOOLEAN delete_file = TRUE;
  return link && set_info(link.get(), kFileDispositionInfo, &delete_file, sizeof delete_file);
}

// Removes the name itself. A link (to a file or a folder) is deleted through a handle on the
// link; only where that call does not exist (XP, which knows junctions only) by name, which
// there removes a junction itself. Anything else as a file; a plain folder only when empty.
bool RemoveName(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES)
    return true;
  const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    bool supported = false;
    if (DeleteLinkItself(path, supported))
      return true;
    if (supported)
      return false;
  }
  return folder ? ::RemoveDirectoryW(path.c_str()) != 0 : ::DeleteFileW(path.c_str()) != 0;
}

}  // namespace

bool RemoveLinkAt(const std::wstring& path) {
  const ScopedUserAccess access(path);
  return !IsPlanted(InspectName(path)) || RemoveName(path);
}

bool RemovePlantedName(const std::string& path, RunLog& log) {
  const ScopedUserAccess access(path);
  const std::wstring wide = Widen(path);
  const NameKind kind = InspectName(wide);
  if (!IsPlanted(kind) && kind != NameKind::kFolder)
    return true;
  const bool removed = RemoveName(wide);
  const char* what = kind == NameKind::kLink       ? "a link"
                     : kind == NameKind::kHardLink ? "a second name of another file"
                                                   : "a folder";
  log.Failed(path, std::string(what) + (removed ? " stood at this name; removed (not followed)"
                                                : " stands at this name and cannot be removed"));
  return removed;
}

void ClearNameForWriting(const std::string& path, RunLog& log) {
  const std::wstring wide = Widen(path);
  const ScopedUserAccess access(path);
  // Whatever it removes is noted; a plain file or nothing at the name passes untouched.
  (void)RemovePlantedName(path, log);
  (void)DeleteFilePath(path);
}

UniqueHandle OpenPlainFileForReading(const std::wstring& path, DWORD share, DWORD flags) {
  const ScopedUserAccess access(path);
  UniqueHandle file(::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr, OPEN_EXISTING,
                                  flags | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  if (!file)
    return file;
  BY_HANDLE_FILE_INFORMATION info;
  if (::GetFileInformationByHandle(file.get(), &info) && IsPlanted(KindOf(info)))
    throw PlantedNameError(Narrow(path));
  return file;
}

}  // namespace kovra::win
