#include "collectors/common/shell_exports_win.h"

#include <algorithm>
#include <stdexcept>

#include "base/text.h"
#include "platform/console_text.h"
#include "platform/elapsed_clock_win.h"
#include "platform/errors_win.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/message_pump_win.h"
#include "platform/planted_names_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// A name in the staging folder that no file has yet.
std::string FreshExportName(const std::string& staging_folder) {
  static unsigned counter = 0;  // the worker thread alone starts exports
  std::string name;
  do {
    name = IncludeTrailingBackslash(staging_folder) + StrPrintf("~regexport-%u.reg", ++counter);
  } while (FileExists(name));
  return name;
}

// Puts an ended export's file in place under its name; an export of a key that vanished wrote
// none. The bytes are written by way of a new file beside the name, moved onto it (in the
// user's domain with the user's rights), so a link planted at the name is replaced, never
// written through.
void MoveExportIntoPlace(const RunningExport& e, RunLog& log) {
  if (e.staged_file.empty() || !FileExists(e.staged_file))
    return;
  try {
    ClearNameForWriting(e.target_file, log);
    WriteFileBytes(e.target_file, ReadFileBytes(e.staged_file));
  } catch (...) {
    RecordCaught(log, "reg export to " + e.target_file);
  }
  (void)DeleteFilePath(e.staged_file);
}

}  // namespace

bool RunRegExport(const std::string& key, const std::string& file,
                  const std::string& staging_folder, RunLog& log) {
  std::vector<RunningExport> started;
  if (!StartRegExport(key, file, staging_folder, started, log))
    return false;
  WaitForRegExports(started, log);
  return true;
}

bool StartRegExport(const std::string& key, const std::string& file,
                    const std::string& staging_folder, std::vector<RunningExport>& started,
                    RunLog& log) {
  RunningExport e{{}, key, FreshExportName(staging_folder), file};
  try {
    e.program =
        StartConsoleProgram({SystemProgramPath("reg.exe"), RegExportArguments(key, e.staged_file)},
                            ChildSettingFor(staging_folder));
  } catch (const std::runtime_error& error) {
    log.Failed("reg export of " + key, error.what());
    return false;
  }
  started.push_back(std::move(e));
  return true;
}

bool RegExportKeyMayExist(const std::string& key) {
  static const struct {
    const char* long_name;
    const char* short_name;
    HKEY root;
  } kRoots[] = {
      {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE},
      {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER},
      {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT},
      {"HKEY_USERS", "HKU", HKEY_USERS},
      {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG},
  };
  const size_t slash = key.find('\\');
  const std::string root_name = key.substr(0, slash);
  const std::string path = slash == std::string::npos ? std::string() : key.substr(slash + 1);
  for (const auto& r : kRoots) {
    if (!SameTextAscii(root_name, r.long_name) && !SameTextAscii(root_name, r.short_name))
      continue;
    const std::wstring wide = Widen(path);
    for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
      UniqueHkey opened;
      const LONG rc = ::RegOpenKeyExW(r.root, wide.c_str(), 0, KEY_READ | view, opened.receive());
      if (rc != ERROR_FILE_NOT_FOUND)
        return true;
    }
    return false;
  }
  return true;
}

void WaitForRegExports(std::vector<RunningExport>& started, RunLog& log) {
  // All of them together, about 3.1 s at the most, in steps of at most 100 ms that end as soon
  // as one of them ends (a wait that only slept would keep the caller up to 100 ms past the
  // last one); the thread's own messages are dispatched after every step.
  constexpr DWORD kLimitMs = 3100, kStepMs = 100;
  std::vector<HANDLE> running;
  for (const RunningExport& e : started)
    running.push_back(e.program.process());
  const ElapsedClock clock;
  while (!running.empty()) {
    const DWORD elapsed = clock.ms();
    if (elapsed >= kLimitMs)
      break;
    const DWORD count = static_cast<DWORD>(std::min<size_t>(running.size(), MAXIMUM_WAIT_OBJECTS));
    const DWORD result = ::WaitForMultipleObjects(count, running.data(), FALSE,
                                                  std::min(kStepMs, kLimitMs - elapsed));
    if (result < WAIT_OBJECT_0 + count)
      running.erase(running.begin() + (result - WAIT_OBJECT_0));
    else if (result != WAIT_TIMEOUT)
      break;  // a handle that cannot be waited on: the ones left are ended below
    if (!DispatchPendingMessages())
      break;
  }
  for (RunningExport& e : started) {
    if (e.program.Exited()) {
      MoveExportIntoPlace(e, log);
      continue;
    }
    // A reg still writing at the limit would leave a partial file in a folder that is about to
    // be packed and removed: it is ended, and the caller archives what its name holds.
    e.program.EndAndWait();
    log.LimitReached("reg export of " + e.key, "time limit of 3.1 s", "no file");
    if (!e.staged_file.empty())
      DeleteFilePath(e.staged_file);
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
