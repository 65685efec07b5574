// SystemInfo.txt: the systeminfo output under its header, captured through a file in the run's
// staging folder.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/run_log.h"
#include "base/string_list.h"
#include "platform/cancellation.h"

namespace kovra::win {

// The time limit of systeminfo.
inline constexpr DWORD kSystemInfoLimitMs = 120000;

// The systeminfo output with its three header lines (date and time, an empty line,
// "===== System ====="). systeminfo writes into a new file in `staging_folder`, which is
// read and deleted. A systeminfo ended at its time limit is noted in the run log.
StringList CaptureSystemInfo(const std::string& staging_folder, RunLog& log,
                             const RunCancellation& cancel,
                             DWORD time_limit_ms = kSystemInfoLimitMs);

// systeminfo started ahead of the stage that needs it, so that it runs while other collectors
// work. Collect() waits for it (the time limit counts from the start) and returns what
// CaptureSystemInfo returns; a capture dropped without Collect() ends the program and removes
// its file.
class SystemInfoCapture {
 public:
  SystemInfoCapture(const std::string& staging_folder, const RunCancellation& cancel,
                    DWORD time_limit_ms = kSystemInfoLimitMs);
  ~SystemInfoCapture();
  SystemInfoCapture(const SystemInfoCapture&) = delete;
  SystemInfoCapture& operator=(const SystemInfoCapture&) = delete;
  StringList Collect(RunLog& log);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kovra::win
