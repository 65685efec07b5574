#include "collectors/common/shell_exports_win.h"

#include <shellapi.h>

#include "base/text.h"
#include "platform/console_text.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/message_pump_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

bool RegExportByShell(const std::string& key, const std::string& file, HWND owner,
                      unsigned windows_major) {
  std::vector<UniqueHandle> started;
  if (!StartRegExport(key, file, started, owner, windows_major))
    return false;
  WaitForRegExports(started);
  return true;
}

bool StartRegExport(const std::string& key, const std::string& file,
                    std::vector<UniqueHandle>& started, HWND owner, unsigned windows_major) {
  const std::wstring parameters =
      Widen(RegExportParameters(SystemProgramPath("reg.exe"), key, file, windows_major));
  const std::wstring cmd = Widen(SystemProgramPath("cmd.exe"));
  SHELLEXECUTEINFOW sei = {};
  sei.cbSize = sizeof sei;
  sei.fMask = SEE_MASK_NOCLOSEPROCESS;
  sei.hwnd = owner;
  sei.lpFile = cmd.c_str();
  sei.lpParameters = parameters.c_str();
  sei.nShow = SW_HIDE;
  if (!::ShellExecuteExW(&sei))
    return false;
  started.emplace_back(sei.hProcess);
  return true;
}

void WaitForRegExports(std::vector<UniqueHandle>& started) {
  // All of them together, about 3.1 s at the most, the thread's own messages dispatched.
  for (int step = 0; step < 31; ++step) {
    bool running = false;
    for (UniqueHandle& process : started)
      running |= process && ::WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT;
    if (!running)
      break;
    ::Sleep(100);
    if (!DispatchPendingMessages())
      break;
  }
  started.clear();
}

void SearchFiles(const std::string& folder, StringList& output) {
  const std::string prefix = IncludeTrailingBackslash(folder);
  WalkOptions options;
  options.skip_hidden_system = false;
  options.skip_folder_name = L".svn";
  // The walk gets the folder without any trailing separator, so every path it gives is the root,
  // one backslash and the part below it, however the folder was written.
  const std::wstring root = Widen(StripTrailingSeparators(prefix));
  WalkFolder(root, options, [&](const std::wstring& path, const WIN32_FIND_DATAW&) {
    output.push_back(prefix + Narrow(path.substr(root.size() + 1)));
    return true;
  });
}

void ListFilesRecursive(const std::string& folder, StringList& output) {
  WalkOptions options;
  options.skip_hidden_system = false;
  const std::wstring root = Widen(StripTrailingSeparators(folder));
  WalkFolder(root, options, [&](const std::wstring& path, const WIN32_FIND_DATAW&) {
    output.push_back(folder + "\\" + Narrow(path.substr(root.size() + 1)));
    return true;
  });
}

}  // namespace kovra::win
