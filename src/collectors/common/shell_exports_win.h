// Registry exports through `reg export` and the file listings of the updater's folders: the
// work the system's and the products' exports share.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "base/run_log.h"
#include "base/string_list.h"
#include "platform/child_process_win.h"

namespace kovra::win {

// A registry export on its way: reg.exe writing a fresh file in the staging folder, which is
// moved onto its name once reg has ended.
struct RunningExport {
  JobProcess program;
  std::string key;
  std::string staged_file;  // empty: nothing to move
  std::string target_file;
};

// Starts `reg export KEY` hidden, writing into a fresh file in `staging_folder` (an admin-only
// folder: nothing planted stands at the name reg writes), and joins it to `started`; false
// (noted in the run log) when reg cannot start. The wait moves the file onto `file`.
[[nodiscard]] bool StartRegExport(const std::string& key, const std::string& file,
                                  const std::string& staging_folder,
                                  std::vector<RunningExport>& started, RunLog& log);
// One wait of about 3.1 s for all started exports; the file of each one that ended is moved
// onto its name (replacing what is there, a planted link included, never what it points to).
// One still running then is ended and its partial file removed (noted in the run log).
void WaitForRegExports(std::vector<RunningExport>& started, RunLog& log);
// Both: one export and its wait. False when reg could not start.
[[nodiscard]] bool RunRegExport(const std::string& key, const std::string& file,
                                const std::string& staging_folder, RunLog& log);
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
