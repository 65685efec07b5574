#include "platform/child_process_win.h"

#include <optional>

#include "base/text.h"
#include "platform/buffer_win.h"
#include "platform/console_text.h"
#include "platform/errors_win.h"
#include "platform/optional_function_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

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

// A text value of HKEY_LOCAL_MACHINE, if it is there and is text.
std::optional<std::string> MachineText(const wchar_t* path, const wchar_t* name) {
  UniqueHkey key;
  if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_QUERY_VALUE, key.receive()) != ERROR_SUCCESS)
    return std::nullopt;
  wchar_t buffer[256] = {};
  DWORD type = REG_NONE, size = sizeof buffer - sizeof(wchar_t);
  if (::RegQueryValueExW(key.get(), name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return std::nullopt;
  return Narrow(buffer);  // the zeroed last character ends the text
}

std::string SystemWindowsFolder() {
  return Narrow(GrowWideBuffer(
      [](wchar_t* b, DWORD n) { return static_cast<DWORD>(::GetSystemWindowsDirectoryW(b, n)); }));
}

std::string SystemFolder() {
  return Narrow(GrowWideBuffer(
      [](wchar_t* b, DWORD n) { return static_cast<DWORD>(::GetSystemDirectoryW(b, n)); }));
}

}  // namespace

ChildSetting ChildSettingFor(const std::string& temp_folder) {
  ChildEnvironmentFacts facts;
  facts.windows_folder = SystemWindowsFolder();
  facts.system_folder = SystemFolder();
  facts.temp_folder = temp_folder;
  SYSTEM_INFO own = {};
  ::GetSystemInfo(&own);
  const SYSTEM_INFO native = NativeSystemInfo();
  facts.processor_architecture = ProcessorArchitectureName(own.wProcessorArchitecture);
  facts.native_architecture = ProcessorArchitectureName(native.wProcessorArchitecture);
  facts.processor_level = own.wProcessorLevel;
  facts.processor_revision = own.wProcessorRevision;
  facts.processors = own.dwNumberOfProcessors;
  // Windows builds PROCESSOR_IDENTIFIER from the first processor's description.
  constexpr wchar_t kProcessor[] = L"HARDWARE\\DESCRIPTION\\System\\CentralProcessor\\0";
  const std::optional<std::string> identifier = MachineText(kProcessor, L"Identifier");
  const std::optional<std::string> vendor = MachineText(kProcessor, L"VendorIdentifier");
  if (identifier)
    facts.processor_identifier = *identifier + (vendor ? ", " + *vendor : std::string());
  const std::u16string block = EnvironmentBlock(ChildEnvironmentEntries(facts));
  return ChildSetting{std::wstring(block.begin(), block.end()), Widen(facts.system_folder)};
}

void JobProcess::Adopt(StartedProcess started) {
  process_ = std::move(started.process);
  job_ = CreateKillJob();
  in_job_ = job_ && ::AssignProcessToJobObject(job_.get(), process_.get());
  ::ResumeThread(started.thread.get());
}

bool JobProcess::Exited() const {
  return ::WaitForSingleObject(process_.get(), 0) == WAIT_OBJECT_0;
}

void JobProcess::End() {
  if (in_job_)
    ::TerminateJobObject(job_.get(), 1);
  else
    ::TerminateProcess(process_.get(), 1);
}

void JobProcess::EndAndWait() {
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

StartedProcess StartProgram(const std::string& program, const std::string& command_line,
                            const ChildSetting& setting, const ChildOutput& output,
                            ChildStart how) {
  const std::wstring application = Widen(program);
  std::wstring line = Widen(command_line);
  std::wstring environment = setting.environment;
  STARTUPINFOW si = {};
  si.cb = sizeof si;
  DWORD flags = CREATE_UNICODE_ENVIRONMENT | NORMAL_PRIORITY_CLASS;
  if (how == ChildStart::kHiddenConsoleSuspended) {
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_HIDE;
    flags |= CREATE_NEW_CONSOLE | CREATE_SUSPENDED;
  }
  const bool redirected = output.output != nullptr || output.error != nullptr;
  if (redirected) {
    si.dwFlags |= STARTF_USESTDHANDLES;
    si.hStdOutput = output.output;
    si.hStdError = output.error;
  }
  // Handles are inherited only by a program given output handles; those are made inheritable
  // by their caller just for this start (and closed after it), on the worker thread that makes
  // every such start.
  PROCESS_INFORMATION pi = {};
  if (!::CreateProcessW(
          application.c_str(), line.data(), nullptr, nullptr, redirected ? TRUE : FALSE, flags,
          environment.empty() ? nullptr : environment.data(),
          setting.current_folder.empty() ? nullptr : setting.current_folder.c_str(), &si, &pi))
    ThrowLastError("Cannot start", program);
  return StartedProcess{UniqueHandle(pi.hProcess), UniqueHandle(pi.hThread)};
}

JobProcess StartConsoleProgram(const ConsoleCommand& command, const ChildSetting& setting,
                               const ChildOutput& output) {
  JobProcess started;
  started.Adopt(StartProgram(command.program, BuildCommandLine(command.program, command.arguments),
                             setting, output, ChildStart::kHiddenConsoleSuspended));
  return started;
}

}  // namespace kovra::win
