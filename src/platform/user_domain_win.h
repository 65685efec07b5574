// The user's domain as an elevated tool meets it: the unelevated token of the user (where UAC
// split the logon), the profile, and the folders the user's registry and environment name. A
// folder named there is judged by DecideUserFolderUse; reads and writes in the user's domain run
// with the user's own rights (ScopedUserAccess) where that token is at hand.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "platform/handles_win.h"
#include "platform/user_domain.h"

namespace kovra::win {

// The facts of this process's user, gathered once on first use (from any thread) and unchanged
// afterwards.
struct UserFacts {
  // The user's unelevated token, for impersonation: only when this process is an elevated
  // administrator whose logon UAC split, and the desktop shell runs with that logon's other,
  // unelevated token.
  UniqueToken unelevated;
  // Why there is none, for the run log (empty when there is one, or nothing to say).
  std::string no_token_reason;
  // The user's profile folder as the system's profile list has it (no trailing backslash).
  std::string profile;
  // The account's SID as stored in the process token.
  std::vector<BYTE> sid;
};
const UserFacts& ThisUser();

// A named folder of the user's domain as the tool uses it: `named` itself, or `default_path`
// when the rules say so; `note` says why a fallback was taken (empty otherwise).
struct JudgedFolder {
  std::string path;
  std::string note;
  UserFolderUse use = UserFolderUse::kAsNamed;
};
JudgedFolder JudgeUserFolder(const std::string& named, const std::string& default_path);

// The user's folders as the tool uses them: the temporary folder (GetTempPathW judged, with a
// trailing backslash) and the per-user shell folders (CSIDL numbers) judged against their
// default places.
JudgedFolder JudgedTempFolder();
JudgedFolder JudgedShellFolder(int csidl);
// True for the shell folders that the user's registry names (desktop, documents, Start Menu,
// application data and the like); the all-users ones are the system's.
bool IsPerUserShellFolder(int csidl);

// The notes of every user folder that is not used as named, for the run log.
std::vector<std::string> UserFolderNotes();

// True when `path` lies in the user's domain: the profile, a folder named by the user's
// registry outside it, or the program's own folder; the run's own staging folders
// ("GetInfoDir" in the temporary folder and in the program's folder), which only
// administrators may write, are not.
bool InUserDomain(const std::string& path);

// While it lives, the calling thread acts with the user's unelevated token when `path` lies in
// the user's domain and that token is at hand, and with the process's own rights otherwise
// (also inside an outer such scope); the thread's previous token comes back at its end.
class ScopedUserAccess {
 public:
  explicit ScopedUserAccess(const std::string& path);
  explicit ScopedUserAccess(const std::wstring& path);
  ~ScopedUserAccess();
  ScopedUserAccess(const ScopedUserAccess&) = delete;
  ScopedUserAccess& operator=(const ScopedUserAccess&) = delete;

 private:
  UniqueToken previous_;
  bool switched_ = false;
};

}  // namespace kovra::win
