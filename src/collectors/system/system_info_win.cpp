#include "collectors/system/system_info_win.h"

#include <algorithm>
#include <optional>
#include <stdexcept>

#include "base/text.h"
#include "platform/console_capture_win.h"
#include "platform/console_text.h"
#include "platform/errors_win.h"
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

// The started program, its output file and the clock of its time limit.
struct SystemInfoCapture::State {
  explicit State(const RunCancellation& c) : cancel(c) {}
  const RunCancellation& cancel;
  std::string output_file;
  JobProcess program;
  bool created = false, started = false;
  std::string failure;
  DWORD time_limit_ms = 0;
  ElapsedClock clock;
};

SystemInfoCapture::SystemInfoCapture(const std::string& staging_folder,
                                     const RunCancellation& cancel, DWORD time_limit_ms)
    : state_(std::make_unique<State>(cancel)) {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  state_->time_limit_ms = time_limit_ms;
  state_->output_file =
      SystemInfoTempFileName(IncludeTrailingBackslash(staging_folder), st.wYear, st.wMonth, st.wDay,
                             st.wHour, st.wMinute, st.wSecond, st.wMilliseconds);
  try {
    // systeminfo itself writes into a file made new here (nothing planted can stand at its
    // name), the one handle it inherits; it runs hidden in a job so that a systeminfo that
    // never ends is ended at the limit.
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    const UniqueHandle file(::CreateFileW(Widen(state_->output_file).c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ, &inheritable, CREATE_NEW,
                                          FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
      ThrowLastError("Cannot create", state_->output_file);
    state_->created = true;
    state_->program = StartConsoleProgram({SystemProgramPath("systeminfo.exe"), {}},
                                          ChildSettingFor(staging_folder), {file.get(), nullptr});
    state_->started = true;
  } catch (const std::runtime_error& e) {
    state_->failure = e.what();
  }
}

SystemInfoCapture::~SystemInfoCapture() {
  if (state_->started && !state_->program.Exited())
    state_->program.EndAndWait();
  if (state_->created)
    DeleteFilePath(state_->output_file);
}

StringList SystemInfoCapture::Collect(RunLog& log) {
  State& s = *state_;
  if (!s.started)
    log.Failed("systeminfo", s.failure);
  if (s.started) {
    // The output is complete at the first exclusive open of the file once systeminfo has
    // ended (the system closes a program's handles just after its end); whatever still holds
    // the file a while after that is ended with the job.
    std::optional<DWORD> exited_at;
    for (;;) {
      const DWORD now = s.clock.ms();
      if (!exited_at && s.program.Exited())
        exited_at = now;
      if (exited_at && !IsFileInUse(s.output_file))
        break;
      if (now >= s.time_limit_ms || s.cancel.Requested() ||
          (exited_at && now - *exited_at >= kAfterExitMs)) {
        if (!exited_at)
          RecordCaptureEnd(log, "systeminfo",
                           now >= s.time_limit_ms ? CaptureEnd::kTimeLimit : CaptureEnd::kCancelled,
                           s.time_limit_ms);
        s.program.EndAndWait();
        // The ended programs' handles close just after their end.
        for (int i = 0; i < 100 && IsFileInUse(s.output_file); ++i)
          ::Sleep(10);
        break;
      }
      // Until the next poll, or sooner when systeminfo ends.
      ::WaitForSingleObject(s.program.process(),
                            exited_at ? 0 : std::min<DWORD>(100, s.time_limit_ms - now));
      if (exited_at)
        ::Sleep(10);
      DispatchPendingMessages();
    }
  }
  StringList result;
  if (s.started)
    result = SplitTextLines(DecodeTextFile(ReadFileBytes(s.output_file)));
  std::string stamp;
  try {
    stamp = LocalDateTimeText();
  } catch (const std::runtime_error&) {
    // A date the locale cannot format leaves the first line empty.
  }
  result.insert(result.begin(), {stamp, "", "===== System ====="});
  if (s.created)
    DeleteFilePath(s.output_file);
  return result;
}

StringList CaptureSystemInfo(const std::string& staging_folder, RunLog& log,
                             const RunCancellation& cancel, DWORD time_limit_ms) {
  return SystemInfoCapture(staging_folder, cancel, time_limit_ms).Collect(log);
}

}  // namespace kovra::win
