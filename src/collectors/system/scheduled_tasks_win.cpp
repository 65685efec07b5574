#include "collectors/system/scheduled_tasks_win.h"

#include "platform/console_capture_win.h"
#include "platform/console_text.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/os_version_win.h"

namespace kovra::win {

namespace {

// The console settings of cmd.exe windows and of schtasks windows (schtasks runs in its own).
constexpr wchar_t kConsoleKey[] = L"Console\\%SystemRoot%_system32_cmd.exe";
constexpr wchar_t kSchtasksConsoleKey[] = L"Console\\%SystemRoot%_system32_schtasks.exe";

constexpr DWORD kOverrideCodePage = 437;

// The console code page of one program's windows set to 437 while the task queries run, and put
// back as it was when the scope ends, also on failure.
class ConsoleCodePageOverride {
 public:
  enum class Result { kApplied, kNoKey, kUnreadable };

  explicit ConsoleCodePageOverride(const wchar_t* console_key) : console_key_(console_key) {}

  [[nodiscard]] Result Apply() {
    // The key of the user's own hive is opened as itself, never through a registry link the
    // user's programs may have put at its name (which could lead the value elsewhere).
    constexpr DWORD kOpenLink = 0x00000008;  // REG_OPTION_OPEN_LINK
    if (::RegCreateKeyExW(HKEY_CURRENT_USER, console_key_, 0, nullptr, kOpenLink, KEY_ALL_ACCESS,
                          nullptr, key_.receive(), nullptr) != ERROR_SUCCESS) {
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

}  // namespace

void EnumScheduledTasks(StringList& output, const std::string& temp_folder, RunLog& log,
                        const RunCancellation& cancel) {
  const ChildSetting setting = ChildSettingFor(temp_folder);
  const std::string schtasks = SystemProgramPath("schtasks.exe");
  if (WindowsMajorVersion() <= 5) {
    RecordCaptureEnd(log, "schtasks /query",
                     CaptureConsoleOutput({schtasks, TaskListArguments(true)}, setting, output,
                                          cancel, kTaskListLimitMs),
                     kTaskListLimitMs);
    return;
  }
  StringList names;
  auto name_pass = [&] {
    StringList csv;
    RecordCaptureEnd(log, "schtasks task list",
                     CaptureConsoleOutput({schtasks, TaskListArguments(false)}, setting, csv,
                                          cancel, kTaskListLimitMs),
                     kTaskListLimitMs);
    AddRootTaskNames(csv, names);
  };
  name_pass();
  // schtasks runs directly in consoles of its own, which take their code page from its own
  // console key; the cmd.exe key is set as well, as the task list's console setting has always
  // been, and both are put back when the scope ends.
  ConsoleCodePageOverride code_page(kConsoleKey);
  ConsoleCodePageOverride schtasks_code_page(kSchtasksConsoleKey);
  if (names.empty()) {
    if (code_page.Apply() != ConsoleCodePageOverride::Result::kApplied)
      return;
    // A schtasks key that cannot be set leaves its consoles as they are.
    static_cast<void>(schtasks_code_page.Apply());
    name_pass();
  }
  // Each task is queried by running schtasks itself, the name one argument: nothing in a name
  // reaches a command interpreter. Several queries run at once; their outputs follow the list's
  // order.
  std::vector<ConsoleCommand> queries;
  StringList queried;
  for (const std::string& name : names) {
    if (IsPassableTaskName(name)) {
      queries.push_back({schtasks, TaskQueryArguments(name)});
      queried.push_back(name);
    }
  }
  const std::vector<CaptureEnd> ends = CaptureConsoleOutputs(queries, setting, output, cancel,
                                                             kTaskQueryLimitMs, kTaskQueriesAtOnce);
  for (size_t i = 0; i < ends.size() && i < queried.size(); ++i)
    RecordCaptureEnd(log, "schtasks query of " + queried[i], ends[i], kTaskQueryLimitMs);
}

void SaveScheduledTasks(const std::string& path, const std::string& temp_folder, RunLog& log,
                        const RunCancellation& cancel) {
  StringList tasks;
  EnumScheduledTasks(tasks, temp_folder, log, cancel);
  SaveListAnsi(tasks, path);
}

}  // namespace kovra::win
