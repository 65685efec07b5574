#include "platform/session_user_win.h"

#include <sddl.h>
#include <wtsapi32.h>

#include <vector>

#include "base/text.h"
#include "platform/buffer_win.h"
#include "platform/optional_function_win.h"
#include "platform/os_version_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

using ConsoleSessionFn = DWORD(WINAPI*)();

struct SessionStartup {
  bool legacy = false;
  ConsoleSessionFn console_session = nullptr;
};

SessionStartup& Startup() {
  static SessionStartup s;
  return s;
}

// WTSQuerySessionInformationW from the system folder's wtsapi32.dll (never a static import,
// which would be looked for beside the program first); false when the system has none, as
// a query that fails.
bool QuerySession(DWORD session, WTS_INFO_CLASS info, LPWSTR* raw, DWORD* bytes) {
  static const auto query = SystemFunction<decltype(&::WTSQuerySessionInformationW)>(
      L"wtsapi32.dll", "WTSQuerySessionInformationW");
  return query && query(WTS_CURRENT_SERVER_HANDLE, session, info, raw, bytes) != FALSE;
}

}  // namespace

void InitSessionLookups() {
  OSVERSIONINFOEXW v;
  const bool known = QueryVersionEx(v);
  SessionStartup& s = Startup();
  s.legacy = known && v.dwMajorVersion == 5 && v.dwMinorVersion == 0;
  if (!s.legacy) {
    s.console_session =
        SystemFunction<ConsoleSessionFn>(L"kernel32.dll", "WTSGetActiveConsoleSessionId");
  }
}

bool LegacySessionMode() {
  return Startup().legacy;
}

bool ForEachProcess(const std::function<bool(const PROCESSENTRY32W&)>& visit) {
  UniqueSnapshot snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot)
    return false;
  PROCESSENTRY32W entry = {};
  entry.dwSize = sizeof entry;
  if (!::Process32FirstW(snapshot.get(), &entry))
    return true;
  do {
    if (!visit(entry))
      break;
    entry.dwSize = sizeof entry;
  } while (::Process32NextW(snapshot.get(), &entry));
  return true;
}

std::string ProcessImageName(const PROCESSENTRY32W& entry) {
  const std::wstring exe(entry.szExeFile, wcsnlen(entry.szExeFile, MAX_PATH));
  const size_t slash = exe.find_last_of(L"\\/");
  return Narrow(slash == std::wstring::npos ? exe : exe.substr(slash + 1));
}

DWORD FindProcessId(const std::string& image, const std::string& user) {
  DWORD found = 0;
  ForEachProcess([&](const PROCESSENTRY32W& e) {
    if (!SameTextAscii(ProcessImageName(e), image))
      return true;
    if (!user.empty() && !SameTextAscii(GetProcessUserName(e.th32ProcessID), user))
      return true;
    found = e.th32ProcessID;
    return false;
  });
  return found;
}

DWORD FindExplorerProcessId(const std::string& user) {
  return FindProcessId("explorer.exe", user);
}

DWORD GetActiveExplorerSessionId() {
  DWORD found = 0;
  ForEachProcess([&](const PROCESSENTRY32W& e) {
    DWORD session = 0;
    if (!SameTextAscii(ProcessImageName(e), "explorer.exe") ||
        !::ProcessIdToSessionId(e.th32ProcessID, &session)) {
      return true;
    }
    LPWSTR raw = nullptr;
    DWORD bytes = 0;
    const bool ok = QuerySession(session, WTSConnectState, &raw, &bytes);
    UniqueWtsMemory buffer(raw);
    if (ok && raw != nullptr && bytes >= 1 &&
        *reinterpret_cast<const uint8_t*>(raw) == static_cast<uint8_t>(WTSActive)) {
      found = session;
      return false;
    }
    return true;
  });
  return found;
}

DWORD GetInteractiveSessionId() {
  const DWORD explorer = GetActiveExplorerSessionId();
  if (explorer != 0)
    return explorer;
  const ConsoleSessionFn console = Startup().console_session;
  return console ? console() : 0;
}

std::string GetSessionUserName() {
  if (LegacySessionMode())
    return GetProcessUserName(FindExplorerProcessId(std::string()));
  LPWSTR raw = nullptr;
  DWORD bytes = 0;
  const bool ok = QuerySession(GetInteractiveSessionId(), WTSUserName, &raw, &bytes);
  UniqueWtsMemory buffer(raw);
  if (!ok || raw == nullptr)
    return std::string();
  const std::string name = Narrow(std::wstring_view(raw, wcsnlen(raw, bytes / sizeof(wchar_t))));
  return SameTextAscii(name, "system") ? std::string() : name;
}

std::string GetProcessUserName(DWORD process_id) {
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process_id));
  if (!process)
    return std::string();
  UniqueToken token;
  if (!::OpenProcessToken(process.get(), TOKEN_QUERY, token.receive()))
    return std::string();
  const std::vector<uint8_t> info = GrowByteBuffer([&](void* b, DWORD n, DWORD* needed) {
    return ::GetTokenInformation(token.get(), TokenUser, b, n, needed) != 0;
  });
  if (info.size() < sizeof(TOKEN_USER))
    return std::string();
  const PSID sid = reinterpret_cast<const TOKEN_USER*>(info.data())->User.Sid;
  DWORD name_size = 0, domain_size = 0;
  SID_NAME_USE use;
  ::LookupAccountSidW(nullptr, sid, nullptr, &name_size, nullptr, &domain_size, &use);
  if (name_size == 0 || domain_size == 0)
    return std::string();
  std::wstring name(name_size, L'\0'), domain(domain_size, L'\0');
  if (!::LookupAccountSidW(nullptr, sid, name.data(), &name_size, domain.data(), &domain_size,
                           &use)) {
    return std::string();
  }
  return Narrow(name.c_str());
}

std::string GetAccountSidString(const std::string& account) {
  if (account.empty())
    return std::string();
  const std::wstring name = Widen(account);
  std::vector<wchar_t> domain(1025, L'\0');
  DWORD sid_size = 0, domain_size = static_cast<DWORD>(domain.size());
  SID_NAME_USE use;
  ::LookupAccountNameW(nullptr, name.c_str(), nullptr, &sid_size, domain.data(), &domain_size,
                       &use);
  if (sid_size == 0)
    return std::string();
  std::vector<uint8_t> sid(sid_size, 0);
  domain_size = static_cast<DWORD>(domain.size());
  if (!::LookupAccountNameW(nullptr, name.c_str(), sid.data(), &sid_size, domain.data(),
                            &domain_size, &use)) {
    return std::string();
  }
  LPWSTR text = nullptr;
  if (!::ConvertSidToStringSidW(sid.data(), &text))
    return std::string();
  UniqueLocalMem owner(text);
  return Narrow(text);
}

std::string GetSessionUserSid() {
  const std::string user = GetSessionUserName();
  return user.empty() ? std::string() : GetAccountSidString(user);
}

UniqueToken DuplicateProcessToken(const std::string& image, const std::string& user) {
  const DWORD pid = FindProcessId(image, user);
  if (pid == 0)
    return UniqueToken();
  UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, pid));
  if (!process)
    return UniqueToken();
  UniqueToken own;
  if (!::OpenProcessToken(process.get(), TOKEN_DUPLICATE, own.receive()))
    return UniqueToken();
  UniqueToken duplicate;
  if (!::DuplicateTokenEx(own.get(), MAXIMUM_ALLOWED, nullptr, SecurityIdentification, TokenPrimary,
                          duplicate.receive())) {
    return UniqueToken();
  }
  return duplicate;
}

DWORD GetTokenIntegrityRid(HANDLE token) {
  if (token == nullptr || token == INVALID_HANDLE_VALUE)
    return 0;
  const std::vector<uint8_t> info = GrowByteBuffer([&](void* b, DWORD n, DWORD* needed) {
    return ::GetTokenInformation(token, TokenIntegrityLevel, b, n, needed) != 0;
  });
  if (info.size() < sizeof(TOKEN_MANDATORY_LABEL))
    return 0;
  const PSID sid = reinterpret_cast<const TOKEN_MANDATORY_LABEL*>(info.data())->Label.Sid;
  if (sid == nullptr || !::IsValidSid(sid))
    return 0;
  const PUCHAR count = ::GetSidSubAuthorityCount(sid);
  if (count == nullptr || *count == 0)
    return 0;
  const PDWORD rid = ::GetSidSubAuthority(sid, *count - 1u);
  return rid ? *rid : 0;
}

}  // namespace kovra::win
