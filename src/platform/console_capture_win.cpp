#include "platform/console_capture_win.h"

#include <shellapi.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>
#include <stdexcept>

#include "base/text.h"
#include "platform/console_text.h"
#include "platform/elapsed_clock_win.h"
#include "platform/errors_win.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/local_time_win.h"
#include "platform/os_version_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

// Output still arriving after the program itself ended comes from its children; they get this
// long before the job is ended.
constexpr DWORD kAfterExitMs = 2000;

// The console settings of cmd.exe windows (the task list runs in one) and of schtasks windows
// (each task's details are queried by schtasks directly).
constexpr wchar_t kConsoleKey[] = L"Console\\%SystemRoot%_system32_cmd.exe";
constexpr wchar_t kSchtasksConsoleKey[] = L"Console\\%SystemRoot%_system32_schtasks.exe";

// Output kept of one captured program; a program that writes without end is ended there.
constexpr uint64_t kMaxCapturedBytes = 32u << 20;
constexpr DWORD kOverrideCodePage = 437;

// A job whose processes end when it is ended or closed.
UniqueHandle CreateKillJob() {
  UniqueHandle job(::CreateJobObjectW(nullptr, nullptr));
  if (job) {
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    ::SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
  }
  return job;
}

// A started program: its handles and the job it runs in, if the system let it join one.
class JobProcess {
 public:
  // Takes over a process created suspended, puts it in a job and lets it run.
  void Adopt(const PROCESS_INFORMATION& pi) {
    process_.reset(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    job_ = CreateKillJob();
    in_job_ = job_ && ::AssignProcessToJobObject(job_.get(), process_.get());
    ::ResumeThread(thread.get());
  }
  HANDLE process() const { return process_.get(); }
  bool Exited() const { return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0; }
  // Ends the program and everything it started inside the job.
  void End() {
    if (in_job_)
      ::TerminateJobObject(job_.get(), 1);
    else
      ::TerminateProcess(process_.get(), 1);
  }
  // Ends it and waits (a few seconds at most) until its processes are gone, so that the files
  // they held are closed.
  void EndAndWait() {
    End();
    ::WaitForSingleObject(process_.get(), 5000);
    for (int i = 0; in_job_ && i < 50; ++i) {
      JOBOBJECT_BASIC_ACCOUNTING_INFORMATION info = {};
      if (!::QueryInformationJobObject(job_.get(), JobObjectBasicAccountingInformation, &info,
                                       sizeof info, nullptr) ||
          info.ActiveProcesses == 0)
        break;
      ::Sleep(100);
    }
  }

 private:
  UniqueHandle process_, job_;
  bool in_job_ = false;
};

// Dispatches the calling thread's pending messages; false when the application is quitting.
bool DispatchPendingMessages() {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage(static_cast<int>(msg.wParam));
      return false;
    }
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
  return true;
}

// The console code page of one program's windows set to 437 while the task queries run, and put
// back as it was when the scope ends, also on failure.
class ConsoleCodePageOverride {
 public:
  enum class Result { kApplied, kNoKey, kUnreadable };

  explicit ConsoleCodePageOverride(const wchar_t* console_key) : console_key_(console_key) {}

  Result Apply() {
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, console_key_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          key_.receive(), nullptr) != ERROR_SUCCESS) {
      return Result::kNoKey;
    }
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    const LONG rc = ::RegQueryValueExW(key_.get(), L"CodePage", nullptr, &type,
                                       reinterpret_cast<BYTE*>(&value), &size);
    if (rc == ERROR_FILE_NOT_FOUND) {
      if (Write(kOverrideCodePage))
        state_ = State::kAdded;
      return Result::kApplied;
    }
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof value)
      return Result::kUnreadable;
    if (value != kOverrideCodePage && Write(kOverrideCodePage)) {
      old_ = value;
      state_ = State::kChanged;
    }
    return Result::kApplied;
  }

  ~ConsoleCodePageOverride() {
    if (state_ == State::kChanged)
      Write(old_);
    else if (state_ == State::kAdded)
      ::RegDeleteValueW(key_.get(), L"CodePage");
  }

 private:
  enum class State { kUntouched, kChanged, kAdded };
  bool Write(DWORD v) {
    return ::RegSetValueExW(key_.get(), L"CodePage", 0, REG_DWORD,
                            reinterpret_cast<const BYTE*>(&v), sizeof v) == ERROR_SUCCESS;
  }
  const wchar_t* console_key_;
  UniqueHkey key_;
  State state_ = State::kUntouched;
  DWORD old_ = 0;
};

void AddDecodedLines(const StringList& raw, StringList& output) {
  for (const std::string& line : raw)
    output.push_back(CodePageToUtf8(line, CP_ACP));
}

// One program started hidden in a new console with its output on a pipe. Step() does one round
// of the capture without waiting, so that one loop can poll several programs; the time limit
// and the size bound hold even while data keeps arriving.
class CapturedProgram {
 public:
  enum class Progress { kData, kIdle, kDone };

  CapturedProgram(const std::string& command_line, const RunCancellation& cancel,
                  DWORD time_limit_ms)
      : cancel_(cancel), time_limit_ms_(time_limit_ms) {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE read_raw = nullptr, write_raw = nullptr;
    if (!::CreatePipe(&read_raw, &write_raw, &inheritable, 0))
      ThrowLastError("Failed to create pipe\xEF\xBC\x81");
    read_end_.reset(read_raw);
    UniqueHandle write_end(write_raw);
    // Only the write end goes to the program.
    ::SetHandleInformation(read_end_.get(), HANDLE_FLAG_INHERIT, 0);

    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    si.wShowWindow = SW_HIDE;
    si.hStdOutput = write_end.get();
    si.hStdError = write_end.get();
    std::string command = Utf8ToCodePage(command_line, CP_ACP);
    PROCESS_INFORMATION pi = {};
    if (!::CreateProcessA(nullptr, command.data(), &inheritable, &inheritable, TRUE,
                          CREATE_NEW_CONSOLE | NORMAL_PRIORITY_CLASS | CREATE_SUSPENDED, nullptr,
                          nullptr, &si, &pi))
      ThrowLastError("Cannot start", command_line);
    program_.Adopt(pi);
  }

  ~CapturedProgram() {
    if (!done_)
      Finish();
  }

  Progress Step() {
    if (done_)
      return Progress::kDone;
    DWORD available = 0;
    if (!::PeekNamedPipe(read_end_.get(), nullptr, 0, nullptr, &available, nullptr))
      return Finish();  // every writer is gone: the end of the output
    if (available > 0) {
      DWORD got = 0;
      if (!::ReadFile(read_end_.get(), buffer_, std::min<DWORD>(available, sizeof buffer_), &got,
                      nullptr) ||
          got == 0) {
        return Finish();
      }
      raw_.clear();
      splitter_.Feed(buffer_, got, raw_);
      AddDecodedLines(raw_, output_);
      captured_ += got;
      // A program that never stops writing is ended at the time limit or the size bound
      // alike; the output so far is kept.
      if (captured_ >= kMaxCapturedBytes)
        end_ = CaptureEnd::kSizeLimit;
      else if (clock_.ms() >= time_limit_ms_)
        end_ = CaptureEnd::kTimeLimit;
      else if (cancel_.Requested())
        end_ = CaptureEnd::kCancelled;
      if (end_ != CaptureEnd::kEnded)
        return Finish();
      return Progress::kData;
    }
    const DWORD now = clock_.ms();
    if (!exited_at_ && program_.Exited())
      exited_at_ = now;
    if (!ended_at_ && (now >= time_limit_ms_ || cancel_.Requested() ||
                       (exited_at_ && now - *exited_at_ >= kAfterExitMs))) {
      // Children that hold the output after the program's own end are ended without a cut.
      if (!exited_at_)
        end_ = now >= time_limit_ms_ ? CaptureEnd::kTimeLimit : CaptureEnd::kCancelled;
      program_.End();
      ended_at_ = now;
    }
    // A writer outside the job cannot be ended; stop reading soon after the end anyway.
    if (ended_at_ && now - *ended_at_ >= 1000)
      return Finish();
    return Progress::kIdle;
  }

  // The process while it still runs (something to wait on between rounds), else null.
  HANDLE RunningProcess() const { return exited_at_ ? nullptr : program_.process(); }
  StringList& output() { return output_; }
  CaptureEnd end() const { return end_; }

 private:
  Progress Finish() {
    done_ = true;
    raw_.clear();
    splitter_.Finish(raw_);
    AddDecodedLines(raw_, output_);
    read_end_.reset();
    if (!program_.Exited())
      program_.EndAndWait();
    return Progress::kDone;
  }

  const RunCancellation& cancel_;
  const DWORD time_limit_ms_;
  UniqueHandle read_end_;
  JobProcess program_;
  ConsoleLineSplitter splitter_;
  StringList raw_, output_;
  const ElapsedClock clock_;
  std::optional<DWORD> exited_at_, ended_at_;
  uint64_t captured_ = 0;
  CaptureEnd end_ = CaptureEnd::kEnded;
  bool done_ = false;
  char buffer_[4096];
};

// Between rounds in which no program wrote: up to 10 ms, sooner when a running one ends.
void WaitBetweenRounds(const std::vector<HANDLE>& running) {
  if (running.empty())
    ::Sleep(10);
  else
    ::WaitForMultipleObjects(static_cast<DWORD>(running.size()), running.data(), FALSE, 10);
}

}  // namespace

void RecordCaptureEnd(RunLog& log, std::string_view program, CaptureEnd end, DWORD time_limit_ms) {
  switch (end) {
    case CaptureEnd::kEnded:
      return;
    case CaptureEnd::kTimeLimit:
      log.LimitReached(program, StrPrintf("time limit of %lu s", time_limit_ms / 1000ul),
                       "the output so far");
      return;
    case CaptureEnd::kSizeLimit:
      log.LimitReached(program,
                       StrPrintf("size limit of %llu MB",
                                 static_cast<unsigned long long>(kMaxCapturedBytes >> 20)),
                       "the output so far");
      return;
    case CaptureEnd::kCancelled:
      log.LimitReached(program, "the run's cancellation", "the output so far");
      return;
  }
}

CaptureEnd CaptureConsoleOutput(const std::string& command_line, StringList& output,
                                const RunCancellation& cancel, DWORD time_limit_ms) {
  CapturedProgram program(command_line, cancel, time_limit_ms);
  for (;;) {
    const CapturedProgram::Progress progress = program.Step();
    if (progress == CapturedProgram::Progress::kDone)
      break;
    if (progress == CapturedProgram::Progress::kIdle) {
      const HANDLE process = program.RunningProcess();
      WaitBetweenRounds(process ? std::vector<HANDLE>{process} : std::vector<HANDLE>{});
    }
  }
  AppendList(output, program.output());
  return program.end();
}

std::vector<CaptureEnd> CaptureConsoleOutputs(const StringList& command_lines, StringList& output,
                                              const RunCancellation& cancel, DWORD time_limit_ms,
                                              size_t at_once) {
  std::vector<CaptureEnd> ends;
  at_once = std::clamp<size_t>(at_once, 1, MAXIMUM_WAIT_OBJECTS);
  // Started in order and appended in order: the oldest one's output goes out once it is done.
  std::deque<std::unique_ptr<CapturedProgram>> running;
  size_t next = 0;
  while (next < command_lines.size() || !running.empty()) {
    while (running.size() < at_once && next < command_lines.size() && !cancel.Requested()) {
      running.push_back(
          std::make_unique<CapturedProgram>(command_lines[next++], cancel, time_limit_ms));
    }
    if (cancel.Requested())
      next = command_lines.size();
    bool data = false;
    std::vector<HANDLE> processes;
    for (const auto& program : running) {
      const CapturedProgram::Progress progress = program->Step();
      data |= progress == CapturedProgram::Progress::kData;
      if (progress == CapturedProgram::Progress::kIdle && program->RunningProcess())
        processes.push_back(program->RunningProcess());
    }
    while (!running.empty() && running.front()->Step() == CapturedProgram::Progress::kDone) {
      AppendList(output, running.front()->output());
      ends.push_back(running.front()->end());
      running.pop_front();
    }
    if (!data)
      WaitBetweenRounds(processes);
  }
  return ends;
}

void EnumScheduledTasks(StringList& output, RunLog& log, const RunCancellation& cancel) {
  if (WindowsMajorVersion() <= 5) {
    RecordCaptureEnd(
        log, "schtasks /query",
        CaptureConsoleOutput("\"" + SystemProgramPath("schtasks.exe") + "\" /query /V /FO list",
                             output, cancel, kTaskListLimitMs),
        kTaskListLimitMs);
    return;
  }
  StringList names;
  auto name_pass = [&names, &log, &cancel] {
    StringList csv;
    RecordCaptureEnd(log, "schtasks task list",
                     CaptureConsoleOutput(
                         "\"" + SystemProgramPath("cmd.exe") + "\" " +
                             CommandParameters(SystemProgramPath("schtasks.exe"), "/query /FO csv"),
                         csv, cancel, kTaskListLimitMs),
                     kTaskListLimitMs);
    AddRootTaskNames(csv, names);
  };
  name_pass();
  ConsoleCodePageOverride code_page(kConsoleKey);
  ConsoleCodePageOverride details_code_page(kSchtasksConsoleKey);
  if (names.empty()) {
    if (code_page.Apply() != ConsoleCodePageOverride::Result::kApplied)
      return;
    name_pass();
    // The details are queried by schtasks in consoles of its own: the same code page there.
    if (!names.empty())
      details_code_page.Apply();
  }
  // Each task is queried by running schtasks itself, the name one quoted argument: nothing in a
  // name reaches a command interpreter. Several queries run at once; their outputs follow the
  // list's order.
  StringList queries, queried;
  for (const std::string& name : names) {
    if (IsPassableTaskName(name)) {
      queries.push_back(TaskQueryCommand(SystemProgramPath("schtasks.exe"), name));
      queried.push_back(name);
    }
  }
  const std::vector<CaptureEnd> ends =
      CaptureConsoleOutputs(queries, output, cancel, kTaskQueryLimitMs, kTaskQueriesAtOnce);
  for (size_t i = 0; i < ends.size() && i < queried.size(); ++i)
    RecordCaptureEnd(log, "schtasks query of " + queried[i], ends[i], kTaskQueryLimitMs);
}

void SaveScheduledTasks(const std::string& path, RunLog& log, const RunCancellation& cancel) {
  StringList tasks;
  EnumScheduledTasks(tasks, log, cancel);
  SaveListAnsi(tasks, path);
}

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

bool IsFileInUse(const std::string& path) {
  UniqueHandle file(::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  return !file.valid();
}

namespace {

// Text of a file: the byte-order mark chooses UTF-8 or UTF-16, otherwise the ANSI code page.
std::string DecodeTextFile(const std::string& bytes) {
  if (bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0)
    return bytes.substr(3);
  if (bytes.size() >= 2 &&
      (bytes.compare(0, 2, "\xFF\xFE") == 0 || bytes.compare(0, 2, "\xFE\xFF") == 0)) {
    const bool big_endian = bytes[0] == '\xFE';
    std::u16string text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) {
      const auto lo = static_cast<unsigned char>(bytes[i + (big_endian ? 1 : 0)]);
      const auto hi = static_cast<unsigned char>(bytes[i + (big_endian ? 0 : 1)]);
      text += static_cast<char16_t>(lo | hi << 8);
    }
    return Utf16ToUtf8(text);
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
