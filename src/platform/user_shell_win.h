// Programs and addresses opened by the user's own desktop shell, so that they run with the
// user's rights and settings rather than with the tool's elevated ones (and nothing the user's
// file-type or address settings name is started elevated).
#pragma once

#include <windows.h>

#include <string>

namespace kovra::win {

// How an open went: by the running desktop shell, by an Explorer the tool started itself (no
// desktop shell could be reached), or not at all.
enum class UserShellOpen { kDesktopShell, kExplorerStarted, kFailed };

// Asks the desktop shell to open `file` with `arguments` (one text, as a shell command takes
// it). Without a desktop shell, explorer.exe of the Windows folder is started by its full path
// with `explorer_arguments` instead. COM is initialised for the call.
[[nodiscard]] UserShellOpen OpenWithUserShell(const std::string& file, const std::string& arguments,
                                              const std::string& explorer_arguments);

// An Explorer window showing `path` selected ("/select,PATH").
[[nodiscard]] UserShellOpen ShowInExplorer(const std::string& path);
// A web address in the user's browser (without a desktop shell: Explorer given the address).
[[nodiscard]] UserShellOpen OpenAddress(const std::string& address);

}  // namespace kovra::win
