#include "platform/staging_folder_win.h"

#include <sddl.h>

#include "base/text.h"
#include "platform/errors_win.h"
#include "platform/files_win.h"
#include "platform/planted_names_win.h"
#include "platform/user_domain_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// Full control for the system and administrators; reading and listing for everyone else. The
// owner's implied right to change the rights is taken away by the OWNER RIGHTS entry ("OW",
// Windows Vista and later), so that a folder made while acting as the user stays closed to
// the user; earlier systems do not know that entry and get the rights without it (they have
// no split tokens: the folder's owner is the administrators' group there).
constexpr const wchar_t* kStagingRights[] = {
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;OW)(A;OICI;0x1200a9;;;WD)",
    L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)",
};

UniqueLocalMem StagingSecurityDescriptor() {
  for (const wchar_t* sddl : kStagingRights) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorW(sddl, SDDL_REVISION_1, &sd, nullptr))
      return UniqueLocalMem(sd);
  }
  return UniqueLocalMem();
}

// Holds a folder open without delete sharing, so that it can be neither removed nor renamed
// while held; no handle when the name is not a folder or has become a link.
UniqueHandle HoldFolder(const std::wstring& path) {
  UniqueHandle hold(::CreateFileW(
      path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE,
      nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
  BY_HANDLE_FILE_INFORMATION info;
  if (!hold || !::GetFileInformationByHandle(hold.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    return UniqueHandle();
  return hold;
}

bool RemoveTree(const std::wstring& path);

// Removes what a held folder holds; true when all of it went.
bool EmptyFolder(const std::wstring& folder) {
  WIN32_FIND_DATAW data;
  UniqueFindHandle find(::FindFirstFileW((folder + L"\\*").c_str(), &data));
  if (!find)
    return ::GetLastError() == ERROR_FILE_NOT_FOUND;
  bool all = true;
  do {
    const std::wstring name = data.cFileName;
    if (name != L"." && name != L"..")
      all = RemoveTree(folder + L"\\" + name) && all;
  } while (::FindNextFileW(find.get(), &data));
  return all;
}

bool RemoveTree(const std::wstring& path) {
  const DWORD a = ::GetFileAttributesW(path.c_str());
  if (a == INVALID_FILE_ATTRIBUTES)
    return IsAbsentCode(::GetLastError());
  if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
    // The link itself; a link to a folder is removed as a folder, without entering it.
    return RemoveLinkAt(path);
  }
  if ((a & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    // The name only: a link to a file may look like a plain file (Wine), and DeleteFilePath
    // never deletes through one. A read-only file is ours to remove all the same.
    if ((a & FILE_ATTRIBUTE_READONLY) != 0 && InspectName(path) == NameKind::kFile)
      ::SetFileAttributesW(path.c_str(), a & ~FILE_ATTRIBUTE_READONLY);
    return DeleteFilePath(Narrow(path));
  }
  {
    const UniqueHandle hold = HoldFolder(path);
    if (!hold) {
      // It became a link meanwhile: the link is removed; a folder that cannot be held stays.
      const DWORD now = ::GetFileAttributesW(path.c_str());
      return now != INVALID_FILE_ATTRIBUTES && (now & FILE_ATTRIBUTE_REPARSE_POINT) != 0 &&
             RemoveTree(path);
    }
    if (!EmptyFolder(path))
      return false;
  }
  return ::RemoveDirectoryW(path.c_str()) != 0;
}

}  // namespace

bool RemoveTreeNoFollow(const std::string& path) {
  const std::string trimmed = ExcludeTrailingBackslash(path);
  return !trimmed.empty() && RemoveTree(Widen(trimmed));
}

std::optional<StagingFolder> StagingFolder::Create(const std::string& folder, RunLog& log) {
  const std::string trimmed = ExcludeTrailingBackslash(folder);
  const std::wstring wide = Widen(trimmed);
  switch (InspectName(wide)) {
    case NameKind::kAbsent:
      break;
    case NameKind::kFolder:
      if (!RemoveTreeNoFollow(trimmed))
        log.Failed(trimmed, "an earlier folder could not be removed whole");
      break;
    case NameKind::kLink:
    case NameKind::kHardLink:
    case NameKind::kFile:
      if (!RemovePlantedName(trimmed, log) || !RemoveTreeNoFollow(trimmed))
        log.Failed(trimmed, "the name is taken and cannot be freed");
      break;
  }
  const size_t slash = trimmed.find_last_of('\\');
  if (slash != std::string::npos && !DirectoryExists(trimmed.substr(0, slash)))
    (void)ForceDirectories(trimmed.substr(0, slash));
  const UniqueLocalMem sd = StagingSecurityDescriptor();
  SECURITY_ATTRIBUTES rights = {sizeof rights, sd.get(), FALSE};
  BOOL created = FALSE;
  {
    // Made with the rights of the folder it is made in: in the user's domain the user's, so
    // that a changed or linked temporary folder cannot lead it where the user may not write.
    const ScopedUserAccess access(slash == std::string::npos ? trimmed : trimmed.substr(0, slash));
    created = ::CreateDirectoryW(wide.c_str(), sd ? &rights : nullptr);
  }
  if (!created) {
    const DWORD code = ::GetLastError();
    log.Failed(trimmed, "cannot be created new: " + SystemErrorText(code));
    return std::nullopt;
  }
  UniqueHandle hold = HoldFolder(wide);
  if (!hold) {
    log.Failed(trimmed, "changed right after it was made; not used");
    return std::nullopt;
  }
  return StagingFolder(IncludeTrailingBackslash(trimmed), std::move(hold));
}

bool StagingFolder::Remove() {
  const std::wstring wide = Widen(ExcludeTrailingBackslash(path_));
  if (!hold_)
    return RemoveTree(wide);
  const bool emptied = EmptyFolder(wide);
  hold_.reset();
  return emptied && ::RemoveDirectoryW(wide.c_str()) != 0;
}

}  // namespace kovra::win
