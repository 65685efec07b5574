// Registry exports through `reg export` and the file listings of the updater's folders: the
// shell-started work the system's and the products' exports share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/string_list.h"
#include "platform/handles_win.h"
#include "platform/os_version_win.h"

namespace kovra::win {

// Starts `reg export KEY FILE` through cmd.exe hidden, in the form the reg of that Windows
// major version takes (with /y from Vista on), and waits up to about 3.1 s. True when the
// shell started the command. Callers delete an older FILE first.
bool RegExportByShell(const std::string& key, const std::string& file, HWND owner = nullptr,
                      unsigned windows_major = WindowsMajorVersion());
// The same in two halves, so that several exports run at once: the start (true when the shell
// started it; its process joins `started`), and one wait of about 3.1 s for all of them.
bool StartRegExport(const std::string& key, const std::string& file,
                    std::vector<UniqueHandle>& started, HWND owner = nullptr,
                    unsigned windows_major = WindowsMajorVersion());
void WaitForRegExports(std::vector<UniqueHandle>& started);
// False only when the key (in reg notation, "HKEY_LOCAL_MACHINE\\..." or "HKLM\\...") is absent
// from both registry views: reg export writes no file for such a key, so there is nothing to
// start. A root it does not know, or any other answer than "not found" (access denied, say),
// counts as maybe there.
bool RegExportKeyMayExist(const std::string& key);

// Every file below the folder, depth first in file-system order; SearchFiles passes over
// folders named ".svn" with their content.
void SearchFiles(const std::string& folder, StringList& output);
void ListFilesRecursive(const std::string& folder, StringList& output);

}  // namespace kovra::win
