// Folders of the user's own domain, judged for a tool that runs with administrator rights. The
// user's registry (HKCU) and environment name the desktop, the temporary folder, the Start Menu
// and the application-data folders, and the user's own programs may have changed those names or
// planted links in such folders. The rules here are portable; the facts they judge (the tokens,
// the profile, a folder's owner) are gathered in user_domain_win.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kovra {

// How the tool uses a folder that the user's domain names.
enum class UserFolderUse {
  // The process is an elevated administrator with the user's unelevated token at hand: the
  // folder is used as named, and every read and write there runs with the user's own rights,
  // so a link or a changed name leads only where the user could go anyway.
  kAsUser,
  // No such token (Windows XP, UAC off, elevation with another account): the folder lies in
  // the user's profile or belongs to the user, so it is used as named.
  kAsNamed,
  // No such token, and the folder lies elsewhere and belongs to someone else: the default
  // place in the profile is used instead.
  kDefault,
};

// What is known of one named folder.
struct UserFolderFacts {
  bool user_token = false;
  bool inside_profile = false;
  bool owned_by_user = false;
};

UserFolderUse DecideUserFolderUse(const UserFolderFacts& facts);

// True when `path` is `folder` or lies below it, compared component by component after `upper`
// (the system's case mapping) on both; either may end with a backslash. Paths with "." or ".."
// components never lie inside (they are to be expanded first).
bool PathInsideFolder(std::string_view path, std::string_view folder,
                      const std::function<std::string(std::string_view)>& upper);

// The default temporary folder of a profile: "<local application data>\Temp" from Windows Vista
// on, "<profile>\Local Settings\Temp" before; with a trailing backslash. Empty when the folder
// it builds on is unknown.
std::string DefaultTempFolder(std::string_view profile, std::string_view local_app_data,
                              unsigned windows_major);

// The run-log note of a folder that was not used as named (`used` empty: none better known).
std::string UserFolderFallbackNote(std::string_view named, std::string_view used);

}  // namespace kovra
