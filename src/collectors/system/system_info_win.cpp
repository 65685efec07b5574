#include "collectors/system/system_info_win.h"

#include <optional>

#include "base/text.h"
#include "platform/console_capture_win.h"
#include "platform/console_text.h"
#include "platform/elapsed_clock_win.h"
#include "platform/files_win.h"
#include "platform/local_time_win.h"
#include "platform/message_pump_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// Text of a file: the byte-order mark chooses UTF-8 or UTF-16, otherwise the ANSI code page.
std::string DecodeTextFile(const std::string& bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return bytes.substr(3);
  if (bytes.size() >= 2 &&
      (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)) {
    const bool big_endian = bytes[0] == '\xFE';
    return Utf16ToUtf8(Utf16FromBytes(std::string_view(bytes).substr(2), big_endian));
  }
  return CodePageToUtf8(bytes, CP_ACP);
}

}  // namespace

// The started command, its temporary file and the clock of its time limit.
struct SystemInfoCapture::State {
  explicit State(const RunCancellation& c) : cancel(c) {}
  const RunCancellation& cancel;
  std::string temp;
  JobProcess program;
  bool started = false;
  DWORD time_limit_ms = 0;
  ElapsedClock clock;
};

SystemInfoCapture::SystemInfoCapture(const RunCancellation& cancel, DWORD time_limit_ms)
    : state_(std::make_unique<State>(cancel)) {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  state_->time_limit_ms = time_limit_ms;
  state_->temp = SystemInfoTempFileName(TempFolder(), st.wYear, st.wMonth, st.wDay, st.wHour,
                                        st.wMinute, st.wSecond, st.wMilliseconds);
  // cmd.exe writes the file; it runs hidden in a job so that a systeminfo that never ends is
  // ended at the limit.
  std::wstring command =
      Widen("\"" + SystemProgramPath("cmd.exe") + "\" " +
            RedirectParameters(SystemProgramPath("systeminfo.exe"), "", state_->temp));
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESHOWWINDOW;
  si.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION pi = {};
  state_->started =
      ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE,
                       CREATE_NEW_CONSOLE | CREATE_SUSPENDED, nullptr, nullptr, &si, &pi) != 0;
  if (state_->started)
    state_->program.Adopt(pi);
}

SystemInfoCapture::~SystemInfoCapture() {
  if (state_->started && !state_->program.Exited())
    state_->program.EndAndWait();
  DeleteFilePath(state_->temp);
}

StringList SystemInfoCapture::Collect(RunLog& log) {
  State& s = *state_;
  if (!s.started)
    log.Failed("systeminfo", "cmd.exe could not be started");
  if (s.started) {
    std::optional<DWORD> exited_at;
    while (IsFileInUse(s.temp)) {
      const DWORD now = s.clock.ms();
      if (!exited_at && s.program.Exited())
        exited_at = now;
      // Out of time, the run is being closed, or the command ended long ago without leaving
      // the file.
      if (now >= s.time_limit_ms || s.cancel.Requested() ||
          (exited_at && now - *exited_at >= kAfterExitMs)) {
        if (!exited_at)
          RecordCaptureEnd(log, "systeminfo",
                           now >= s.time_limit_ms ? CaptureEnd::kTimeLimit : CaptureEnd::kCancelled,
                           s.time_limit_ms);
        s.program.EndAndWait();
        break;
      }
      ::Sleep(100);
      DispatchPendingMessages();
    }
  }
  StringList result;
  if (FileExists(s.temp))
    result = SplitTextLines(DecodeTextFile(ReadFileBytes(s.temp)));
  std::string stamp;
  try {
    stamp = LocalDateTimeText();
  } catch (const std::runtime_error&) {
    // A date the locale cannot format leaves the first line empty.
  }
  result.insert(result.begin(), {stamp, "", "===== System ====="});
  DeleteFilePath(s.temp);
  return result;
}

StringList CaptureSystemInfo(RunLog& log, const RunCancellation& cancel, DWORD time_limit_ms) {
  return SystemInfoCapture(cancel, time_limit_ms).Collect(log);
}

}  // namespace kovra::win
