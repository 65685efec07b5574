#include "platform/user_domain_win.h"

#include <aclapi.h>
#include <shlobj.h>

#include "base/text.h"
#include "platform/buffer_win.h"
#include "platform/files_win.h"
#include "platform/optional_function_win.h"
#include "platform/os_version_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// Token information classes and values of Windows Vista and later (the headers of an XP build
// lack them); XP answers their queries with an error.
constexpr TOKEN_INFORMATION_CLASS kTokenElevationType = static_cast<TOKEN_INFORMATION_CLASS>(18);
constexpr TOKEN_INFORMATION_CLASS kTokenLinkedToken = static_cast<TOKEN_INFORMATION_CLASS>(19);
constexpr DWORD kElevationTypeDefault = 1, kElevationTypeFull = 2, kElevationTypeLimited = 3;

bool IsLimitedToken(HANDLE token) {
  DWORD type = 0, n = 0;
  return ::GetTokenInformation(token, kTokenElevationType, &type, sizeof type, &n) &&
         type == kElevationTypeLimited;
}

std::string UpperPath(std::string_view text) {
  std::wstring wide = Widen(text);
  if (!wide.empty())
    ::CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Narrow(wide);
}

std::vector<uint8_t> TokenInfo(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  return GrowByteBuffer([&](uint8_t* b, DWORD n, DWORD* needed) {
    return ::GetTokenInformation(token, kind, b, n, needed) != 0;
  });
}

bool SameLogon(HANDLE a, HANDLE b) {
  TOKEN_STATISTICS sa{}, sb{};
  DWORD n = 0;
  return ::GetTokenInformation(a, TokenStatistics, &sa, sizeof sa, &n) &&
         ::GetTokenInformation(b, TokenStatistics, &sb, sizeof sb, &n) &&
         sa.AuthenticationId.LowPart == sb.AuthenticationId.LowPart &&
         sa.AuthenticationId.HighPart == sb.AuthenticationId.HighPart;
}

bool SameUser(HANDLE token, const std::vector<BYTE>& sid) {
  const std::vector<uint8_t> user = TokenInfo(token, TokenUser);
  return !user.empty() && !sid.empty() &&
         ::EqualSid(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid,
                    const_cast<BYTE*>(sid.data()));
}

// The unelevated token of this elevated logon, taken from the desktop shell, which runs with
// it: the linked token that the system hands a process without the TCB privilege is only good
// for identification. The shell's token counts only when it is the linked token's logon and
// this process's user.
void FindUnelevatedToken(HANDLE own, UserFacts& facts) {
  DWORD type = 0, n = 0;
  if (!::GetTokenInformation(own, kTokenElevationType, &type, sizeof type, &n))
    return;  // no UAC on this system
  if (type != kElevationTypeFull) {
    facts.no_token_reason = type == kElevationTypeDefault
                                ? "the logon has no unelevated token (UAC off or another account)"
                                : "the process is not elevated";
    return;
  }
  HANDLE linked_raw = nullptr;
  if (!::GetTokenInformation(own, kTokenLinkedToken, &linked_raw, sizeof linked_raw, &n)) {
    facts.no_token_reason = "the linked token cannot be read";
    return;
  }
  const UniqueToken linked(linked_raw);
  DWORD shell_pid = 0;
  const HWND shell = ::GetShellWindow();
  if (shell == nullptr || ::GetWindowThreadProcessId(shell, &shell_pid) == 0) {
    facts.no_token_reason = "no desktop shell runs";
    return;
  }
  const UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, shell_pid));
  UniqueToken shell_token;
  if (!process ||
      !::OpenProcessToken(process.get(), TOKEN_DUPLICATE | TOKEN_QUERY, shell_token.receive()) ||
      !IsLimitedToken(shell_token.get()) || !SameLogon(shell_token.get(), linked.get()) ||
      !SameUser(shell_token.get(), facts.sid)) {
    facts.no_token_reason = "the desktop shell does not run with this logon's unelevated token";
    return;
  }
  if (!::DuplicateTokenEx(shell_token.get(), TOKEN_IMPERSONATE | TOKEN_QUERY, nullptr,
                          SecurityImpersonation, TokenImpersonation, facts.unelevated.receive()))
    facts.no_token_reason = "the unelevated token cannot be duplicated";
}

UserFacts GatherUserFacts() {
  UserFacts facts;
  UniqueToken own;
  if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, own.receive()))
    return facts;
  const std::vector<uint8_t> user = TokenInfo(own.get(), TokenUser);
  if (!user.empty()) {
    PSID sid = reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid;
    const auto* bytes = static_cast<const BYTE*>(sid);
    facts.sid.assign(bytes, bytes + ::GetLengthSid(sid));
  }
  using ProfileFn = BOOL(WINAPI*)(HANDLE, LPWSTR, LPDWORD);
  if (const auto profile_of =
          SystemFunction<ProfileFn>(L"userenv.dll", "GetUserProfileDirectoryW")) {
    facts.profile = ExcludeTrailingBackslash(Narrow(GrowWideBuffer([&](wchar_t* b, DWORD n) {
      DWORD size = n;
      if (profile_of(own.get(), b, &size))
        return static_cast<DWORD>(::lstrlenW(b));
      return ::GetLastError() == ERROR_INSUFFICIENT_BUFFER ? size : 0;
    })));
  }
  FindUnelevatedToken(own.get(), facts);
  return facts;
}

bool OwnedBy(const std::string& path, const std::vector<BYTE>& sid) {
  PSID owner = nullptr;
  PSECURITY_DESCRIPTOR sd_raw = nullptr;
  std::wstring wide = Widen(path);
  if (::GetNamedSecurityInfoW(wide.data(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION, &owner,
                              nullptr, nullptr, nullptr, &sd_raw) != ERROR_SUCCESS)
    return false;
  const UniqueLocalMem sd(sd_raw);
  return owner != nullptr && !sid.empty() && ::EqualSid(owner, const_cast<BYTE*>(sid.data()));
}

std::string DefaultShellFolder(int csidl) {
  constexpr DWORD kDefaultPlace = 1;  // SHGFP_TYPE_DEFAULT
  wchar_t buffer[MAX_PATH + 1] = {};
  if (FAILED(::SHGetFolderPathW(nullptr, csidl, nullptr, kDefaultPlace, buffer)))
    return std::string();
  return Narrow(buffer);
}

std::string NamedShellFolder(int csidl) {
  wchar_t buffer[MAX_PATH + 1] = {};
  if (!::SHGetSpecialFolderPathW(nullptr, buffer, csidl, FALSE))
    return std::string();
  return Narrow(buffer);
}

// The per-user folders the tool reads or writes in.
constexpr int kUsedUserFolders[] = {CSIDL_DESKTOPDIRECTORY, CSIDL_STARTMENU, CSIDL_PROGRAMS,
                                    CSIDL_STARTUP,          CSIDL_APPDATA,   CSIDL_LOCAL_APPDATA,
                                    CSIDL_PERSONAL};

struct DomainRoots {
  std::vector<std::string> roots;
  std::vector<std::string> own;
};

DomainRoots GatherRoots() {
  DomainRoots d;
  auto add = [&d](const std::string& folder) {
    if (!folder.empty())
      d.roots.push_back(ExcludeTrailingBackslash(FullPathName(folder)));
  };
  add(ThisUser().profile);
  add(ExeFolder());
  const std::string temp = JudgedTempFolder().path;
  add(temp);
  for (const int csidl : kUsedUserFolders)
    add(JudgedShellFolder(csidl).path);
  for (const std::string& base : {temp, ExeFolder()}) {
    if (!base.empty())
      d.own.push_back(IncludeTrailingBackslash(FullPathName(base)) + "GetInfoDir");
  }
  return d;
}

}  // namespace

const UserFacts& ThisUser() {
  static const UserFacts facts = GatherUserFacts();
  return facts;
}

JudgedFolder JudgeUserFolder(const std::string& named, const std::string& default_path) {
  JudgedFolder judged{named, {}, UserFolderUse::kAsNamed};
  if (named.empty())
    return judged;
  const UserFacts& user = ThisUser();
  UserFolderFacts facts;
  facts.user_token = static_cast<bool>(user.unelevated);
  facts.inside_profile =
      !user.profile.empty() && PathInsideFolder(FullPathName(named), user.profile, &UpperPath);
  facts.owned_by_user = !facts.user_token && !facts.inside_profile && OwnedBy(named, user.sid);
  judged.use = DecideUserFolderUse(facts);
  if (judged.use == UserFolderUse::kDefault && default_path.empty()) {
    // Nothing better is known: the folder stays, the run log says so.
    judged.use = UserFolderUse::kAsNamed;
    judged.note = UserFolderFallbackNote(named, {});
    judged.path = named;
  } else if (judged.use == UserFolderUse::kDefault) {
    judged.path = default_path;
    judged.note = UserFolderFallbackNote(named, default_path);
  }
  return judged;
}

JudgedFolder JudgedTempFolder() {
  const std::string named =
      Narrow(GrowWideBuffer([](wchar_t* b, DWORD n) { return ::GetTempPathW(n, b); }, 255));
  JudgedFolder judged = JudgeUserFolder(
      named, DefaultTempFolder(ThisUser().profile, DefaultShellFolder(CSIDL_LOCAL_APPDATA),
                               WindowsMajorVersion()));
  if (!judged.path.empty())
    judged.path = IncludeTrailingBackslash(judged.path);
  return judged;
}

bool IsPerUserShellFolder(int csidl) {
  switch (csidl & 0xFF) {
    case CSIDL_DESKTOP:
    case CSIDL_PROGRAMS:
    case CSIDL_PERSONAL:
    case CSIDL_FAVORITES:
    case CSIDL_STARTUP:
    case CSIDL_RECENT:
    case CSIDL_SENDTO:
    case CSIDL_STARTMENU:
    case CSIDL_MYMUSIC:
    case CSIDL_MYVIDEO:
    case CSIDL_DESKTOPDIRECTORY:
    case CSIDL_NETHOOD:
    case CSIDL_TEMPLATES:
    case CSIDL_APPDATA:
    case CSIDL_PRINTHOOD:
    case CSIDL_LOCAL_APPDATA:
    case CSIDL_INTERNET_CACHE:
    case CSIDL_COOKIES:
    case CSIDL_HISTORY:
    case CSIDL_MYPICTURES:
      return true;
    default:
      return false;
  }
}

JudgedFolder JudgedShellFolder(int csidl) {
  const std::string named = NamedShellFolder(csidl);
  if (!IsPerUserShellFolder(csidl))
    return JudgedFolder{named, {}, UserFolderUse::kAsNamed};
  return JudgeUserFolder(named, DefaultShellFolder(csidl));
}

std::vector<std::string> UserFolderNotes() {
  std::vector<std::string> notes;
  if (!ThisUser().no_token_reason.empty())
    notes.push_back("no unelevated token: " + ThisUser().no_token_reason);
  JudgedFolder temp = JudgedTempFolder();
  if (!temp.note.empty())
    notes.push_back("temporary folder: " + temp.note);
  for (const int csidl : kUsedUserFolders) {
    const JudgedFolder judged = JudgedShellFolder(csidl);
    if (!judged.note.empty())
      notes.push_back(judged.note);
  }
  return notes;
}

bool InUserDomain(const std::string& path) {
  static const DomainRoots domain = GatherRoots();
  const std::string full = FullPathName(path);
  for (const std::string& own : domain.own) {
    if (PathInsideFolder(full, own, &UpperPath))
      return false;
  }
  for (const std::string& root : domain.roots) {
    if (PathInsideFolder(full, root, &UpperPath))
      return true;
  }
  return false;
}

ScopedUserAccess::ScopedUserAccess(const std::string& path) {
  const UserFacts& user = ThisUser();
  if (!user.unelevated)
    return;  // nothing to switch to: the process acts with its own rights throughout
  HANDLE wanted = InUserDomain(path) ? user.unelevated.get() : nullptr;
  // The thread's own impersonation, if any, opened with the process's rights.
  ::OpenThreadToken(::GetCurrentThread(), TOKEN_IMPERSONATE | TOKEN_QUERY, TRUE,
                    previous_.receive());
  if (!previous_ && wanted == nullptr)
    return;  // already acting with the process's rights
  switched_ = ::SetThreadToken(nullptr, wanted) != 0;
}

ScopedUserAccess::ScopedUserAccess(const std::wstring& path) : ScopedUserAccess(Narrow(path)) {}

ScopedUserAccess::~ScopedUserAccess() {
  if (!switched_)
    return;
  // The error of the call made inside the scope stays the thread's last error.
  const DWORD error = ::GetLastError();
  ::SetThreadToken(nullptr, previous_.get());
  ::SetLastError(error);
}

}  // namespace kovra::win
