#include "report_records.h"

#include <algorithm>
#include <map>
#include <optional>
#include <regex>

#include "base/text.h"
#include "report_regex.h"

namespace kovra {

namespace {

using F = FieldType;

bool StartsWith(std::string_view s, std::string_view p) {
  return s.substr(0, p.size()) == p;
}

bool EndsWith(std::string_view s, std::string_view p) {
  return s.size() >= p.size() && s.substr(s.size() - p.size()) == p;
}

std::string_view TrimView(std::string_view s) {
  while (!s.empty() && static_cast<unsigned char>(s.front()) <= ' ')
    s.remove_prefix(1);
  while (!s.empty() && static_cast<unsigned char>(s.back()) <= ' ')
    s.remove_suffix(1);
  return s;
}

bool IsStarRule(std::string_view line) {
  return line.size() == 81 && line.find_first_not_of('*') == std::string_view::npos;
}

// "True"/"False" as the bool field texts; empty for anything else.
std::string BoolField(std::string_view text) {
  return text == "True" ? "true" : text == "False" ? "false" : "";
}

std::string Flag(bool b) {
  return b ? "true" : "false";
}

// A decimal number as its canonical text, empty when the text is not one.
std::string NumberField(std::string_view text) {
  static const std::regex number("^-?[0-9]+(\\.[0-9]+)?$");
  const std::string t(TrimView(text));
  if (!RegexMatch(t, number))
    return std::string();
  size_t i = t[0] == '-' ? 1 : 0;
  while (i + 1 < t.size() && t[i] == '0' && t[i + 1] != '.')
    ++i;
  std::string out = (t[0] == '-' ? "-" : "") + t.substr(i);
  return out == "-0" ? "0" : out;
}

std::string HexField(std::string_view hex) {
  if (hex.empty() || hex.size() > 15 ||
      hex.find_first_not_of("0123456789abcdefABCDEF") != std::string_view::npos)
    return std::string();
  return std::to_string(std::stoull(std::string(hex), nullptr, 16));
}

// The milliseconds of a FormatDuration text (999 ms, 1.50 s, 2:05 min, 2:05 h).
std::string DurationMs(const std::string& text) {
  static const std::regex ms("^([0-9]+) ms$"), s("^([0-9]+)\\D{1,4}([0-9]{2}) s$"),
      min("^([0-9]+):([0-9]{2}) min$"), h("^([0-9]+):([0-9]{2}) h$");
  std::smatch m;
  auto n = [&](int i) { return std::stoull(m[i].str()); };
  if (RegexMatch(text, m, ms))
    return std::to_string(n(1));
  if (RegexMatch(text, m, s))
    return std::to_string(n(1) * 1000 + n(2) * 10);
  if (RegexMatch(text, m, min))
    return std::to_string(n(1) * 60000 + n(2) * 1000);
  if (RegexMatch(text, m, h))
    return std::to_string(n(1) * 3600000 + n(2) * 60000);
  return std::string();
}

// The file a command line starts: a quoted path, else the text up to the end of its first
// program extension, else up to the first blank.
std::string CommandFile(std::string_view command) {
  command = TrimView(command);
  if (StartsWith(command, "\"")) {
    const size_t end = command.find('"', 1);
    return std::string(command.substr(1, end == std::string_view::npos ? end : end - 1));
  }
  const std::string lower = AsciiLowerCase(command);
  size_t best = std::string::npos;
  for (const char* ext : {".exe", ".com", ".bat", ".cmd", ".dll", ".sys", ".lnk", ".vbs", ".scr"}) {
    const size_t at = lower.find(ext);
    if (at != std::string::npos && (best == std::string::npos || at + 4 < best))
      best = at + 4;
  }
  if (best != std::string::npos)
    return std::string(command.substr(0, best));
  return std::string(command.substr(0, command.find(' ')));
}

const std::string& Empty() {
  static const std::string empty;
  return empty;
}

}  // namespace

const std::vector<TableDefinition>& Tables() {
  static const std::vector<TableDefinition> tables = {
      {TableId::kSystem,
       "system",
       "System",
       SourceFile::kMainInfo,
       {{"tool_version", F::kText, "Version: of the tool that wrote the report"},
        {"date", F::kDateTime, "Date: of the report"},
        {"os_name", F::kText, "OS Name"},
        {"os_version", F::kText, "OS Version (major.minor.build)"},
        {"service_pack", F::kText, "SP Version"},
        {"language", F::kText, "system lan"},
        {"computer", F::kText, "ComputerName"},
        {"os_type", F::kText, "OS Type: 32bit or 64bit (WOW64)"},
        {"memory_mb", F::kNumber, "Memory Size"},
        {"memory_free_mb", F::kNumber, "Free Size"},
        {"virtual_mb", F::kNumber, "VMemory Size"},
        {"virtual_free_mb", F::kNumber, "VFree Size"},
        {"virtual_free_ext_mb", F::kNumber, "VFreeExt Size"},
        {"page_file_mb", F::kNumber, "PF Size"},
        {"page_file_free_mb", F::kNumber, "PF Free"},
        {"system_drive", F::kText, "System Drive"},
        {"disk_total_gb", F::kNumber, "Total Space"},
        {"disk_free_gb", F::kNumber, "Free Space"},
        {"session_user", F::kText, "Cur Users: the interactive session's user"},
        {"process_user", F::kText, "Cur Users: the account that ran the tool (in brackets)"},
        {"user_level", F::kText, "User Level: integrity level of the desktop shell, hex"}}},
      {TableId::kProducts,
       "products",
       "Products",
       SourceFile::kMainInfo,
       {{"name", F::kText, "block name (ZTN, OD, Refresher, ZTNAvSvc)"},
        {"display_version", F::kText, "Display Version (Refresher: its install date)"},
        {"file_version", F::kText, "Exefile Version"},
        {"size_bytes", F::kNumber, "Exefile Size"},
        {"versions_differ", F::kBool, "display version and file version disagree"}}},
      {TableId::kProcesses,
       "processes",
       "Processes",
       SourceFile::kMainInfo,
       {{"pid", F::kNumber, "process id"},
        {"name", F::kText, "image file name"},
        {"folder", F::kText, "image folder"},
        {"session", F::kNumber, "session id (empty when every process is in session 0)"},
        {"gdi_objects", F::kNumber, "GDI objects"},
        {"user_objects", F::kNumber, "USER objects"},
        {"handles", F::kNumber, "handle count"},
        {"threads", F::kNumber, "thread count"},
        {"working_set_mb", F::kNumber, "working set, MiB"},
        {"private_mb", F::kNumber, "private bytes (page-file usage), MiB"},
        {"priority", F::kText, "priority class name"},
        {"age_ms", F::kNumber, "time since start, ms (as precise as the printed age)"},
        {"age", F::kText, "time since start as printed"}}},
      {TableId::kResources,
       "resources",
       "Resources",
       SourceFile::kMainInfo,
       {{"virtual_free_mb", F::kNumber, "Virtual memory: available virtual memory, MiB"},
        {"virtual_total_mb", F::kNumber, "Virtual memory: total virtual memory, MiB"},
        {"page_free_mb", F::kNumber, "PageSize: available page file, MiB"},
        {"page_total_mb", F::kNumber, "PageSize: total page file, MiB"},
        {"drive_free", F::kText, "SysDrv: free space of the system drive"},
        {"drive_total", F::kText, "SysDrv: size of the system drive"},
        {"atoms", F::kNumber, "GlobalAtomInfo: global atoms"},
        {"registered_names", F::kNumber, "GlobalAtomInfo: registered names (RWM)"},
        {"largest_group", F::kText, "GlobalAtomInfo: name of the largest atom group"},
        {"largest_group_count", F::kNumber, "its count"},
        {"second_group", F::kText, "GlobalAtomInfo: name of the next largest group"},
        {"second_group_count", F::kNumber, "its count"},
        {"desktop_heap", F::kText, "DesktopHeap: the Windows subsystem command line"},
        {"virtual_memory_line", F::kText, "the Virtual memory line as printed"},
        {"atom_line", F::kText, "the GlobalAtomInfo line as printed"}}},
      {TableId::kServices,
       "services",
       "Services and drivers",
       SourceFile::kMainInfo,
       {{"name", F::kText, "display name"},
        {"type", F::kNumber,
         "service type (1 kernel driver, 2 file-system driver, 16 own process, "
         "32 shared process, +256 interactive)"},
        {"kind", F::kText, "driver or service"},
        {"state", F::kNumber, "current state (1 stopped ... 4 running ... 7 paused)"},
        {"state_name", F::kText, "current state as a word"},
        {"exit_code", F::kNumber, "Win32 exit code"},
        {"start_type", F::kNumber,
         "start type (0 boot, 1 system, 2 automatic, 3 demand, 4 "
         "disabled; -1 configuration unreadable)"},
        {"start_name", F::kText, "start type as a word"},
        {"path", F::kText, "binary path as stored"},
        {"version", F::kText, "file version of the binary"},
        {"md5", F::kText, "MD5 of the binary (empty when it was not found)"},
        {"outside_windows", F::kBool, "the binary lies outside the Windows folders"},
        {"driver_without_version", F::kBool, "a driver whose file has no version information"}}},
      {TableId::kHelpers,
       "helpers",
       "Browser helpers",
       SourceFile::kMainInfo,
       {{"class_name", F::kText, "class name"}, {"server_path", F::kText, "in-process server"}}},
      {TableId::kAutostart,
       "autostart",
       "Autostart",
       SourceFile::kMainInfo,
       {{"section", F::kText,
         "Startup, Run, RunOnce, RunOnceEx, policies Run, NT Run, Windows "
         "Shell"},
        {"entry", F::kText, "the line as printed"},
        {"name", F::kText, "value name (Run-type sections)"},
        {"command", F::kText, "what starts: value data, shortcut target or item"},
        {"file", F::kText, "the program file the command names"},
        {"outside_windows", F::kBool, "the file lies outside the Windows folders"}}},
      {TableId::kSecurity,
       "security",
       "Security products",
       SourceFile::kMainInfo,
       {{"class", F::kText, "AntiVirusProduct, AntiSpywareProduct or FirewallProduct"},
        {"name", F::kText, "display name"},
        {"enabled", F::kBool, "Enabled"},
        {"product_state", F::kNumber, "productState (newer Security Center only)"},
        {"up_to_date", F::kBool, "UptoDate"}}},
      {TableId::kFirewall,
       "firewall",
       "Windows Firewall",
       SourceFile::kMainInfo,
       {{"home_enabled", F::kBool, "HomeNetFwEnabled"},
        {"public_enabled", F::kBool, "PublicNetFwEnabled"},
        {"current_enabled", F::kBool, "FireWallEnabled (current profile)"},
        {"manager_valid", F::kBool, "FwObj: the firewall manager could be created"}}},
      {TableId::kInventory,
       "inventory",
       "Product files",
       SourceFile::kMainInfo,
       {{"path", F::kText, "path below the product folder"},
        {"version", F::kText, "file version"},
        {"md5", F::kText, "MD5"},
        {"date", F::kDateTime, "last change (local time)"}}},
      {TableId::kUninstall,
       "uninstall",
       "Uninstall entries and product keys",
       SourceFile::kUninstall,
       {{"file", F::kText, "source file"},
        {"key", F::kText, "registry key"},
        {"value", F::kText, "value name (empty: the default value)"},
        {"kind", F::kText, "key (the key line itself), string, dword, hex, hex(N), empty or error"},
        {"data", F::kText, "data (strings unescaped; dword and hex as their digits)"}}},
      {TableId::kServicesRegistry,
       "services_registry",
       "Services in the registry",
       SourceFile::kServicesTree,
       {{"file", F::kText, "source file"},
        {"key", F::kText, "registry key"},
        {"value", F::kText, "value name"},
        {"kind", F::kText, "key, string or dword"},
        {"data", F::kText, "data"}}},
      {TableId::kRegistryExports,
       "registry_exports",
       "Registry exports",
       SourceFile::kRegistryExports,
       {{"file", F::kText, "export file"},
        {"key", F::kText, "registry key"},
        {"value", F::kText, "value name (empty: the default value)"},
        {"kind", F::kText, "key, string, dword, hex, hex(N), empty"},
        {"data", F::kText, "data"}}},
      {TableId::kTasks,
       "tasks",
       "Scheduled tasks",
       SourceFile::kTasks,
       {{"folder", F::kText, "Folder"},
        {"host", F::kText, "HostName"},
        {"task", F::kText, "TaskName"},
        {"next_run", F::kDateTime, "Next Run Time"},
        {"status", F::kText, "Status"},
        {"logon_mode", F::kText, "Logon Mode"},
        {"last_run", F::kDateTime, "Last Run Time"},
        {"last_result", F::kText, "Last Result"},
        {"author", F::kText, "Author"},
        {"task_to_run", F::kText, "Task To Run"},
        {"start_in", F::kText, "Start In"},
        {"comment", F::kText, "Comment"},
        {"state", F::kText, "Scheduled Task State"},
        {"run_as", F::kText, "Run As User"},
        {"schedule_type", F::kText, "Schedule Type"},
        {"start_time", F::kText, "Start Time"},
        {"start_date", F::kText, "Start Date"},
        {"other", F::kText, "every other label: value, joined by \"; \""}}},
      {TableId::kDigests,
       "digests",
       "Updater digests",
       SourceFile::kDigests,
       {{"path", F::kText, "file below the updater's install folder"}, {"md5", F::kText, "MD5"}}},
      {TableId::kUpdaterFacts,
       "updater_facts",
       "Updater version and display",
       SourceFile::kInfoVersion,
       {{"log_version", F::kText, "This Log Version"},
        {"created", F::kDateTime, "This Log Create Time"},
        {"screen_width", F::kNumber, "Screen.Width"},
        {"screen_height", F::kNumber, "Screen.Height"},
        {"dpi_api", F::kNumber, "DPI API"},
        {"dpi_log_pixels", F::kNumber, "DPI LogPixels"},
        {"dpi_applied", F::kNumber, "DPI AppliedDPI"}}},
      {TableId::kStoreAppLog,
       "store_app_log",
       "Store-app log",
       SourceFile::kStoreAppLog,
       {{"time", F::kText, "local time of the step"}, {"message", F::kText, "the step"}}},
      {TableId::kUnparsed,
       "unparsed",
       "Lines the reader did not recognise",
       SourceFile::kMainInfo,
       {{"file", F::kText, "source file"},
        {"section", F::kText, "the table whose block the line is in"},
        {"line", F::kNumber, "line number in the file"},
        {"text", F::kText, "the line"}}},
  };
  return tables;
}

int TableDefinition::Field(std::string_view field) const {
  for (size_t i = 0; i < fields.size(); ++i) {
    if (field == fields[i].name)
      return static_cast<int>(i);
  }
  return -1;
}

const TableDefinition& Definition(TableId id) {
  return Tables()[static_cast<size_t>(id)];
}

const TableDefinition* FindTable(std::string_view name) {
  for (const TableDefinition& t : Tables()) {
    if (name == t.name)
      return &t;
  }
  return nullptr;
}

const std::string& Record::Get(std::string_view field) const {
  const int i = Definition(table).Field(field);
  return i < 0 || static_cast<size_t>(i) >= values.size() ? Empty() : values[i];
}

bool SourceOfEntry(std::string_view entry_name, SourceFile& source) {
  const size_t slash = entry_name.find_last_of("/\\");
  const std::string name =
      AsciiLowerCase(slash == std::string_view::npos ? entry_name : entry_name.substr(slash + 1));
  static const std::map<std::string, SourceFile> kFiles = {
      {"kovra_debug_info.txt", SourceFile::kMainInfo},
      {"uninstall.txt", SourceFile::kUninstall},
      {"services.txt", SourceFile::kServicesTree},
      {"task.txt", SourceFile::kTasks},
      {"nfmd5.txt", SourceFile::kDigests},
      {"infoversion.txt", SourceFile::kInfoVersion},
      {"metrologinfo.txt", SourceFile::kStoreAppLog}};
  if (const auto it = kFiles.find(name); it != kFiles.end()) {
    source = it->second;
    return true;
  }
  static const std::regex exports(
      "^(sw_reg_[0-9]+|lp_reg_[0-9]+|ztnp?_[rg]eg_[0-9]+|sys_file_.*)\\.txt$");
  if (RegexMatch(name, exports)) {
    source = SourceFile::kRegistryExports;
    return true;
  }
  return false;
}

std::string DateSortKey(std::string_view date) {
  static const std::regex forms[] = {
      // 12/9/2026 9:46:03 PM, 2026-12-09 21:46:03, 09.12.2026 21:46
      std::regex("^([0-9]{1,2})/([0-9]{1,2})/([0-9]{4})(?: ([0-9]{1,2}):([0-9]{2})(?::([0-9]{2}))?"
                 "(?: ?([AaPp])\\.?[Mm]\\.?)?)?$"),
      std::regex("^([0-9]{4})[-/.]([0-9]{1,2})[-/.]([0-9]{1,2})(?: ([0-9]{1,2}):([0-9]{2})(?::([0-"
                 "9]{2}))?(?: ?([AaPp])\\.?[Mm]\\.?)?)?$"),
      std::regex("^([0-9]{1,2})[.-]([0-9]{1,2})[.-]([0-9]{4})(?: ([0-9]{1,2}):([0-9]{2})(?::([0-9]"
                 "{2}))?)?$"),
  };
  const std::string text(TrimView(date));
  std::smatch m;
  for (int form = 0; form < 3; ++form) {
    if (!RegexMatch(text, m, forms[form]))
      continue;
    int year, month, day;
    if (form == 1) {
      year = std::stoi(m[1]), month = std::stoi(m[2]), day = std::stoi(m[3]);
    } else {
      year = std::stoi(m[3]);
      const int a = std::stoi(m[1]), b = std::stoi(m[2]);
      // Slashes: month first, as the US short date has it, unless the first cannot be a month.
      const bool day_first = form == 2 || a > 12;
      month = day_first ? b : a, day = day_first ? a : b;
    }
    int hour = m[4].matched ? std::stoi(m[4]) : 0;
    const int minute = m[5].matched ? std::stoi(m[5]) : 0;
    const int second = m[6].matched ? std::stoi(m[6]) : 0;
    if (form != 2 && m[7].matched) {
      const bool pm = m[7].str() == "P" || m[7].str() == "p";
      hour = hour % 12 + (pm ? 12 : 0);
    }
    return StrPrintf("%04d-%02d-%02d %02d:%02d:%02d", year, month, day, hour, minute, second);
  }
  return text;
}

bool OutsideWindowsFolders(std::string_view command) {
  std::string file = AsciiLowerCase(CommandFile(command));
  if (file.empty() || file.find('\\') == std::string::npos)
    return false;  // a bare program name is found through the search path
  if (StartsWith(file, "\\??\\"))
    file = file.substr(4);
  for (const char* inside :
       {"%systemroot%", "%windir%", "\\systemroot\\", "system32\\", "syswow64\\"}) {
    if (StartsWith(file, inside))
      return false;
  }
  return !(file.size() >= 11 && file[1] == ':' && file.compare(2, 9, "\\windows\\") == 0);
}

namespace {

// Shared by the parsers: the line count, the record sink and the "unparsed" records.
class ParserBase : public RecordParser {
 public:
  ParserBase(std::string file_name, RecordCallback emit)
      : file_(std::move(file_name)), emit_(std::move(emit)) {}

 protected:
  Record New(TableId table) const {
    Record r{table, line_, {}};
    r.values.resize(Definition(table).fields.size());
    return r;
  }
  void Set(Record& r, const char* field, std::string value) const {
    r.values[static_cast<size_t>(Definition(r.table).Field(field))] = std::move(value);
  }
  void Emit(const Record& r) const { emit_(r); }
  void Unparsed(std::string_view line, TableId section) const {
    Record r = New(TableId::kUnparsed);
    r.values = {file_, Definition(section).name, std::to_string(line_), std::string(line)};
    emit_(r);
  }
  std::string file_;
  uint64_t line_ = 0;

 private:
  RecordCallback emit_;
};

// Kovra_Debug_Info.txt: the blocks after the star rules, each parsed by its own rules.
class MainInfoParser : public ParserBase {
 public:
  using ParserBase::ParserBase;

  void Line(std::string_view view) override {
    ++line_;
    const std::string line(view);
    if (IsStarRule(line)) {
      FinishBlock();
      classify_ = true;
      return;
    }
    if (line.empty())
      return EmptyLine();
    const TableId opened = BlockOfLine(line);
    if (classify_ || IsBlockHeader(line)) {
      classify_ = false;
      if (opened != block_)
        FinishBlock();
      block_ = opened;
    }
    if (block_ != TableId::kSystem && system_.has_value()) {
      Emit(*system_);
      system_.reset();
    }
    if (!Parse(line))
      Unparsed(line, block_);
  }

  void End() override {
    FinishBlock();
    if (system_.has_value())
      Emit(*system_);
    system_.reset();
  }

 private:
  static bool IsBlockHeader(const std::string& line) {
    return line == "===== BHOs =====" || line == "===== Autoruns =====" ||
           (StartsWith(line, "[") && BlockOfLine(line) == TableId::kSecurity);
  }

  void EmptyLine() {
    if (product_.has_value()) {
      Emit(*product_);
      product_.reset();
    }
  }

  void FinishBlock() {
    EmptyLine();
    if (security_.has_value())
      Emit(*security_);
    security_.reset();
    if (firewall_.has_value())
      Emit(*firewall_);
    firewall_.reset();
    if (resources_.has_value())
      Emit(*resources_);
    resources_.reset();
    process_columns_ = 0;
  }

  bool Parse(const std::string& line) {
    switch (block_) {
      case TableId::kSystem:
        return SystemLine(line);
      case TableId::kProducts:
        return ProductLine(line);
      case TableId::kProcesses:
        return ProcessLine(line);
      case TableId::kServices:
        return ServiceLine(line);
      case TableId::kHelpers:
        return HelperLine(line);
      case TableId::kAutostart:
        return AutostartLine(line);
      case TableId::kSecurity:
        return SecurityLine(line);
      case TableId::kInventory:
        return InventoryLine(line);
      default:
        return false;
    }
  }

  Record& System() {
    if (!system_.has_value()) {
      system_ = New(TableId::kSystem);
      system_->line = 1;
    }
    return *system_;
  }

  bool SystemLine(const std::string& line) {
    static const std::map<std::string, const char*> kLabels = {
        {"Version:", "tool_version"},
        {"Date:", "date"},
        {"OS Name:\t", "os_name"},
        {"OS Version:\t", "os_version"},
        {"SP Version:\t", "service_pack"},
        {"system lan:\t", "language"},
        {"ComputerName:\t", "computer"},
        {"OS Type:\t", "os_type"},
        {"Memory Size:\t", "memory_mb"},
        {"Free Size:\t", "memory_free_mb"},
        {"VMemory Size:\t", "virtual_mb"},
        {"VFree Size:\t", "virtual_free_mb"},
        {"VFreeExt Size:\t", "virtual_free_ext_mb"},
        {"PF Size:\t", "page_file_mb"},
        {"PF Free:\t", "page_file_free_mb"},
        {"System Drive:\t", "system_drive"},
        {"Total Space:\t", "disk_total_gb"},
        {"Free Space:\t", "disk_free_gb"},
        {"User Level:\t", "user_level"},
    };
    const size_t colon = line.find(':');
    if (colon == std::string::npos)
      return false;
    const size_t label_end = colon + (line.compare(colon + 1, 1, "\t") == 0 ? 2 : 1);
    const std::string label = line.substr(0, label_end), value = line.substr(label_end);
    Record& r = System();
    if (label == "Cur Users:\t") {
      // session user + "[" + process user + "]"
      const size_t open = value.rfind('[');
      if (open == std::string::npos || !EndsWith(value, "]"))
        return false;
      Set(r, "session_user", value.substr(0, open));
      Set(r, "process_user", value.substr(open + 1, value.size() - open - 2));
      return true;
    }
    const auto it = kLabels.find(label);
    if (it == kLabels.end())
      return false;
    const FieldDefinition& field =
        Definition(TableId::kSystem).fields[Definition(TableId::kSystem).Field(it->second)];
    std::string v = value;
    if (field.type == F::kNumber) {
      for (const char* unit : {" MB", " GB"}) {
        if (EndsWith(v, unit))
          v.resize(v.size() - 3);
      }
      v = NumberField(v);
      if (v.empty())
        return false;
    }
    Set(r, it->second, v);
    return true;
  }

  bool ProductLine(const std::string& line) {
    static const std::regex header("^====(.+)====$");
    std::smatch m;
    if (RegexMatch(line, m, header) && !StartsWith(line, "=====")) {
      EmptyLine();
      product_ = New(TableId::kProducts);
      Set(*product_, "name", m[1]);
      return true;
    }
    if (!product_.has_value())
      return false;
    Record& p = *product_;
    if (StartsWith(line, "Display Version:\t")) {
      Set(p, "display_version", line.substr(17));
    } else if (StartsWith(line, "Exefile Version:\t")) {
      Set(p, "file_version", line.substr(17));
    } else if (StartsWith(line, "Exefile Size:\t") && EndsWith(line, " Bytes") &&
               !NumberField(line.substr(14, line.size() - 20)).empty()) {
      Set(p, "size_bytes", NumberField(line.substr(14, line.size() - 20)));
    } else {
      return false;
    }
    Set(p, "versions_differ",
        Flag(p.Get("name") != "Refresher" &&
             VersionsDiffer(p.Get("display_version"), p.Get("file_version"))));
    return true;
  }

  // The display version's parts must lead the file version's: 8.1.0 agrees with 8.1.0.22.
  static bool VersionsDiffer(const std::string& display, const std::string& file) {
    if (display.empty() || file.empty() || file == "Unknown")
      return false;
    auto parts = [](const std::string& v) {
      std::vector<std::string> out;
      size_t start = 0;
      for (size_t dot = v.find('.');; dot = v.find('.', start)) {
        std::string part = v.substr(start, dot - start);
        out.push_back(NumberField(part).empty() ? part : NumberField(part));
        if (dot == std::string::npos)
          break;
        start = dot + 1;
      }
      return out;
    };
    const std::vector<std::string> d = parts(display), f = parts(file);
    if (d.size() > f.size())
      return true;
    return !std::equal(d.begin(), d.end(), f.begin());
  }

  bool ProcessLine(const std::string& line) {
    if (ResourceLine(line))
      return true;
    // pid, name and the number columns, then the middle text, then the folder.
    static const std::regex row(
        "^([0-9a-f]+) (.*?) +([0-9]+) *, *([0-9]+)\\| *([0-9]+)M, *([0-9]+)M\\| ([^,]*),"
        "([0-9]+ ms|[0-9]+[^0-9 ]{1,4}[0-9]{2} s|[0-9]+:[0-9]{2} min|[0-9]+:[0-9]{2} h)"
        "(?: +(.*))?$");
    std::smatch m;
    if (!RegexMatch(line, m, row))
      return false;
    // The name column is followed by the session column (only when some session is not 0) and
    // the GDI and USER columns: two or three numbers, the same for every row of the table. The
    // first row decides.
    // heads[k]: the name when the last k numbers are columns.
    std::string head = m[2];
    std::vector<std::string> numbers, heads{head};
    while (numbers.size() < 3) {
      const size_t blank = head.find_last_of(' ');
      if (blank == std::string::npos)
        break;
      const std::string token = head.substr(blank + 1);
      if (token.empty() || token.find_first_not_of("0123456789") != std::string::npos)
        break;
      numbers.insert(numbers.begin(), token);
      const size_t last = head.find_last_not_of(' ', blank);
      head = last == std::string::npos ? std::string() : head.substr(0, last + 1);
      heads.push_back(head);
    }
    if (process_columns_ == 0)
      process_columns_ = numbers.size() >= 3 ? 3 : 2;
    if (numbers.size() < process_columns_ || heads[process_columns_].empty())
      return false;
    const std::string name = heads[process_columns_];
    const std::vector<std::string> columns(numbers.end() - process_columns_, numbers.end());
    Record r = New(TableId::kProcesses);
    Set(r, "pid", HexField(m[1].str()));
    Set(r, "name", name);
    Set(r, "folder", m[9]);
    if (process_columns_ == 3)
      Set(r, "session", NumberField(columns[0]));
    Set(r, "gdi_objects", NumberField(columns[columns.size() - 2]));
    Set(r, "user_objects", NumberField(columns[columns.size() - 1]));
    Set(r, "handles", NumberField(m[3].str()));
    Set(r, "threads", NumberField(m[4].str()));
    Set(r, "working_set_mb", NumberField(m[5].str()));
    Set(r, "private_mb", NumberField(m[6].str()));
    Set(r, "priority", m[7]);
    Set(r, "age_ms", DurationMs(m[8]));
    Set(r, "age", m[8]);
    Emit(r);
    return true;
  }

  bool ResourceLine(const std::string& line) {
    static const std::regex vm(
        "^Virtual memory:([0-9]+)/([0-9]+) MB\\(free/total\\), PageSize:([0-9]+)/([0-9]+) "
        "MB\\(free/total\\), SysDrv:(.*)/(.*)$");
    static const std::regex atoms("^GlobalAtomInfo:Atom:([0-9]+), RWM:([0-9]+)(.*)$");
    static const std::regex group("^, Max\\(([0-9]+)\\):(.*?)(, Max\\(([0-9]+)\\):(.*))?$");
    std::smatch m;
    const bool is_vm = StartsWith(line, "Virtual memory:"),
               is_atoms = StartsWith(line, "GlobalAtomInfo:"),
               is_heap = StartsWith(line, "DesktopHeap:");
    if (!is_vm && !is_atoms && !is_heap)
      return false;
    if (!resources_.has_value())
      resources_ = New(TableId::kResources);
    Record& r = *resources_;
    if (is_heap) {
      Set(r, "desktop_heap", line.substr(12));
    } else if (is_vm) {
      Set(r, "virtual_memory_line", line.substr(15));
      if (RegexMatch(line, m, vm)) {
        Set(r, "virtual_free_mb", m[1]), Set(r, "virtual_total_mb", m[2]);
        Set(r, "page_free_mb", m[3]), Set(r, "page_total_mb", m[4]);
        Set(r, "drive_free", m[5]), Set(r, "drive_total", m[6]);
      }
    } else {
      Set(r, "atom_line", line.substr(15));
      if (RegexMatch(line, m, atoms)) {
        Set(r, "atoms", m[1]), Set(r, "registered_names", m[2]);
        const std::string rest = m[3];
        if (RegexMatch(rest, m, group)) {
          Set(r, "largest_group_count", m[1]), Set(r, "largest_group", m[2]);
          if (m[3].matched)
            Set(r, "second_group_count", m[4]), Set(r, "second_group", m[5]);
        }
      }
    }
    return true;
  }

  bool ServiceLine(const std::string& line) {
    // "%-30s %X  %d  %d %d %s %s": the name padded to 30 characters, the file facts
    // "Ver:... MD5:..." or empty.
    static const std::regex row(
        "^(.*?) ([0-9A-F]+)  (-?[0-9]+)  (-?[0-9]+) (-?[0-9]+) (.*?)(?: Ver:(.*)   "
        "MD5:([0-9a-f]*)| )$");
    std::smatch m;
    if (!RegexMatch(line, m, row))
      return false;
    std::string name = m[1];
    const size_t length = TextLength(name);
    if (length < 30)
      return false;
    if (length == 30)
      name = name.substr(0, name.find_last_not_of(' ') + 1);
    static const std::map<int, const char*> kStates = {
        {1, "stopped"},          {2, "start pending"}, {3, "stop pending"}, {4, "running"},
        {5, "continue pending"}, {6, "pause pending"}, {7, "paused"}};
    static const std::map<int, const char*> kStarts = {
        {0, "boot"}, {1, "system"}, {2, "automatic"}, {3, "demand"}, {4, "disabled"}};
    const uint64_t type = std::stoull(m[2].str(), nullptr, 16);
    const bool driver = (type & 0xF) != 0;
    const int state = std::stoi(m[3]), start = std::stoi(m[5]);
    Record r = New(TableId::kServices);
    Set(r, "name", name);
    Set(r, "type", std::to_string(type));
    Set(r, "kind", driver ? "driver" : "service");
    Set(r, "state", NumberField(m[3].str()));
    Set(r, "state_name", kStates.count(state) ? kStates.at(state) : "");
    Set(r, "exit_code", NumberField(m[4].str()));
    Set(r, "start_type", NumberField(m[5].str()));
    Set(r, "start_name", kStarts.count(start) ? kStarts.at(start) : "");
    Set(r, "path", m[6]);
    Set(r, "version", m[7]);
    Set(r, "md5", m[8]);
    Set(r, "outside_windows", Flag(OutsideWindowsFolders(m[6].str())));
    Set(r, "driver_without_version", Flag(driver && m[7].str().empty()));
    Emit(r);
    return true;
  }

  bool HelperLine(const std::string& line) {
    if (line == "===== BHOs =====")
      return true;
    const size_t comma = line.rfind(", ");
    if (comma == std::string::npos)
      return false;
    Record r = New(TableId::kHelpers);
    Set(r, "class_name", line.substr(0, comma));
    Set(r, "server_path", line.substr(comma + 2));
    Emit(r);
    return true;
  }

  bool AutostartLine(const std::string& line) {
    static const std::regex header("^-{10} (.+) -{10}$");
    std::smatch m;
    if (line == "===== Autoruns =====")
      return true;
    if (RegexMatch(line, m, header)) {
      autostart_section_ = m[1];
      return true;
    }
    const bool valued = autostart_section_ == "Run" || autostart_section_ == "RunOnce" ||
                        autostart_section_ == "policies Run";
    const size_t equals = line.find('=');
    if (valued && equals == std::string::npos)
      return false;
    const std::string command = valued ? line.substr(equals + 1) : line;
    // A value of another kind than text is listed by its value text: it names no file.
    const bool value_text =
        valued && (StartsWith(command, "dword:") || StartsWith(command, "hex:"));
    Record r = New(TableId::kAutostart);
    Set(r, "section", autostart_section_);
    Set(r, "entry", line);
    Set(r, "name", valued ? line.substr(0, equals) : "");
    Set(r, "command", command);
    Set(r, "file", value_text ? "" : CommandFile(command));
    Set(r, "outside_windows", Flag(!value_text && OutsideWindowsFolders(command)));
    Emit(r);
    return true;
  }

  bool SecurityLine(const std::string& line) {
    static const std::regex header("^\\[(AntiVirusProduct|AntiSpywareProduct|FirewallProduct)\\]$");
    static const std::regex enabled("^Enabled=(True|False)\\(([0-9A-F]{8})\\)$");
    std::smatch m;
    if (RegexMatch(line, m, header) || line == "[Windows FireWall]") {
      if (security_.has_value())
        Emit(*security_);
      security_.reset();
      security_class_ = m.empty() ? "" : m[1].str();
      if (line == "[Windows FireWall]")
        firewall_ = New(TableId::kFirewall);
      return true;
    }
    if (firewall_.has_value()) {
      static const std::map<std::string, const char*> kFirewall = {
          {"HomeNetFwEnabled=", "home_enabled"},
          {"PublicNetFwEnabled=", "public_enabled"},
          {"FireWallEnabled=", "current_enabled"}};
      const size_t eq = line.find('=');
      const std::string label = line.substr(0, eq + 1), value = line.substr(eq + 1);
      if (eq != std::string::npos && kFirewall.count(label) && !BoolField(value).empty()) {
        Set(*firewall_, kFirewall.at(label), BoolField(value));
        return true;
      }
      if (line == "FwObj=valid" || line == "FwObj=nil") {
        Set(*firewall_, "manager_valid", Flag(line == "FwObj=valid"));
        return true;
      }
      return false;
    }
    if (security_class_.empty())
      return false;
    if (StartsWith(line, "Name:")) {
      if (security_.has_value())
        Emit(*security_);
      security_ = New(TableId::kSecurity);
      Set(*security_, "class", security_class_);
      Set(*security_, "name", line.substr(5));
      return true;
    }
    if (!security_.has_value())
      return false;
    if (RegexMatch(line, m, enabled)) {
      Set(*security_, "enabled", BoolField(m[1].str()));
      Set(*security_, "product_state", HexField(m[2].str()));
      return true;
    }
    if (StartsWith(line, "Enabled=")) {
      Set(*security_, "enabled", BoolField(line.substr(8)));
      return true;
    }
    if (StartsWith(line, "UptoDate=")) {
      Set(*security_, "up_to_date", BoolField(line.substr(9)));
      return true;
    }
    return false;
  }

  bool InventoryLine(const std::string& line) {
    static const std::regex row("^(.*?)   Ver:(.*)   MD5:([0-9a-f]*)   DT:(.*)$");
    std::smatch m;
    if (!RegexMatch(line, m, row))
      return false;
    Record r = New(TableId::kInventory);
    Set(r, "path", m[1]);
    Set(r, "version", m[2]);
    Set(r, "md5", m[3]);
    Set(r, "date", m[4]);
    Emit(r);
    return true;
  }

  TableId block_ = TableId::kSystem;
  bool classify_ = false;
  std::optional<Record> system_, product_, resources_, security_, firewall_;
  size_t process_columns_ = 0;
  std::string autostart_section_, security_class_;
};

// The .reg-style texts: uninstall.txt (strings with backslashes doubled, nothing else escaped),
// services.txt (strings as read) and the exports of `reg export` (backslashes and quotes escaped,
// "@" for the default value, long hex values continued on the next line after a "\").
class RegistryParser : public ParserBase {
 public:
  enum class Style { kRegFile, kServices, kRegExe };
  RegistryParser(std::string file, RecordCallback emit, TableId table, Style style)
      : ParserBase(std::move(file), std::move(emit)), table_(table), style_(style) {}

  void Line(std::string_view view) override {
    ++line_;
    std::string line(view);
    if (!pending_.empty()) {
      pending_ += std::string(TrimView(line));
      if (EndsWith(pending_, "\\")) {
        pending_.pop_back();
        return;
      }
      line = std::move(pending_);
      pending_.clear();
    } else if (style_ == Style::kRegExe && EndsWith(line, "\\") &&
               line.find("=hex") != std::string::npos) {
      pending_ = line.substr(0, line.size() - 1);
      pending_line_ = line_;
      return;
    }
    if (line.empty() || IsStarRule(line) || line == "Windows Registry Editor Version 5.00" ||
        line == "REGEDIT4")
      return;
    if (StartsWith(line, "[") && EndsWith(line, "]")) {
      // Every key is a record of its own (kind "key"), so keys without values are listed too.
      key_ = line.substr(1, line.size() - 2);
      Record r = New(table_);
      r.values = {file_, key_, "", "key", ""};
      Emit(r);
      return;
    }
    if (!ValueLine(line))
      Unparsed(line, table_);
  }

  void End() override {
    if (!pending_.empty())
      ValueLine(pending_);
    pending_.clear();
  }

 private:
  bool ValueLine(const std::string& line) {
    std::string name;
    size_t rest;
    if (StartsWith(line, "@=")) {
      rest = 2;
    } else if (StartsWith(line, "\"")) {
      size_t i = 1;
      if (style_ == Style::kRegExe) {
        for (; i < line.size() && line[i] != '"'; ++i) {
          if (line[i] == '\\' && i + 1 < line.size())
            ++i;
          name += line[i];
        }
        if (line.compare(i, 2, "\"=") != 0)
          return false;
      } else {
        i = line.find("\"=", 1);
        if (i == std::string::npos)
          return false;
        name = line.substr(1, i - 1);
      }
      rest = i + 2;
    } else {
      return false;
    }
    const std::string data = line.substr(rest);
    std::string kind, value;
    if (data.size() >= 2 && data.front() == '"' && data.back() == '"') {
      kind = "string";
      value = Unescape(data.substr(1, data.size() - 2));
    } else if (data.empty()) {
      kind = "empty";
    } else if (data == "kovrareaderror") {
      kind = "error";
    } else if (const size_t colon = data.find(':');
               colon != std::string::npos &&
               (StartsWith(data, "dword:") || StartsWith(data, "hex"))) {
      kind = data.substr(0, colon);
      value = data.substr(colon + 1);
    } else {
      return false;
    }
    Record r = New(table_);
    if (!pending_.empty() || pending_line_ != 0)
      r.line = pending_line_ != 0 ? pending_line_ : r.line;
    pending_line_ = 0;
    r.values = {file_, key_, name, kind, value};
    Emit(r);
    return true;
  }

  std::string Unescape(const std::string& data) const {
    if (style_ == Style::kServices)
      return data;
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
      if (data[i] == '\\' && i + 1 < data.size() &&
          (data[i + 1] == '\\' || (style_ == Style::kRegExe && data[i + 1] == '"')))
        ++i;
      out += data[i];
    }
    return out;
  }

  TableId table_;
  Style style_;
  std::string key_, pending_;
  uint64_t pending_line_ = 0;
};

// task.txt: the verbose list output of the task queries, "Label:   value" lines, one block per
// task (a "Folder:" line before the tasks of a folder).
class TaskParser : public ParserBase {
 public:
  using ParserBase::ParserBase;

  void Line(std::string_view view) override {
    ++line_;
    const std::string line(view);
    if (TrimView(line).empty())
      return;
    const size_t colon = line.find(':');
    if (colon == std::string::npos || colon == 0)
      return Unparsed(line, TableId::kTasks);
    const std::string label(TrimView(std::string_view(line).substr(0, colon)));
    const std::string value(TrimView(std::string_view(line).substr(colon + 1)));
    static const std::map<std::string, const char*> kLabels = {
        {"HostName", "host"},           {"TaskName", "task"},
        {"Next Run Time", "next_run"},  {"Status", "status"},
        {"Logon Mode", "logon_mode"},   {"Last Run Time", "last_run"},
        {"Last Result", "last_result"}, {"Author", "author"},
        {"Task To Run", "task_to_run"}, {"Start In", "start_in"},
        {"Comment", "comment"},         {"Scheduled Task State", "state"},
        {"Run As User", "run_as"},      {"Schedule Type", "schedule_type"},
        {"Start Time", "start_time"},   {"Start Date", "start_date"}};
    if (label == "Folder") {
      Flush();
      folder_ = value;
      return;
    }
    const auto it = kLabels.find(label);
    if (label == "HostName" ||
        (current_.has_value() && it != kLabels.end() && !current_->Get(it->second).empty()))
      Flush();
    if (!current_.has_value()) {
      current_ = New(TableId::kTasks);
      Set(*current_, "folder", folder_);
    }
    if (it != kLabels.end()) {
      Set(*current_, it->second, value);
    } else {
      std::string other = current_->Get("other");
      Set(*current_, "other", (other.empty() ? "" : other + "; ") + label + ": " + value);
    }
  }

  void End() override { Flush(); }

 private:
  void Flush() {
    if (current_.has_value())
      Emit(*current_);
    current_.reset();
  }
  std::optional<Record> current_;
  std::string folder_;
};

// NFMD5.txt: path, comma, 32 lowercase hexadecimal digits.
class DigestParser : public ParserBase {
 public:
  using ParserBase::ParserBase;
  void Line(std::string_view view) override {
    ++line_;
    if (view.empty())
      return;
    const size_t comma = view.rfind(',');
    const std::string_view md5 = comma == std::string_view::npos ? "" : view.substr(comma + 1);
    if (md5.size() != 32 || md5.find_first_not_of("0123456789abcdef") != std::string_view::npos)
      return Unparsed(view, TableId::kDigests);
    Record r = New(TableId::kDigests);
    r.values = {std::string(view.substr(0, comma)), std::string(md5)};
    Emit(r);
  }
  void End() override {}
};

// InfoVersion.txt: "=====X=====" headers and "Label:value" facts, one record.
class InfoVersionParser : public ParserBase {
 public:
  using ParserBase::ParserBase;
  void Line(std::string_view view) override {
    ++line_;
    static const std::vector<std::pair<std::string, const char*>> kLabels = {
        {"This Log Version:", "log_version"},
        {"This Log Create Time:", "created"},
        {"Screen.Width:", "screen_width"},
        {"Screen.Height:", "screen_height"},
        {"DPI API:", "dpi_api"},
        {"DPI LogPixels:", "dpi_log_pixels"},
        {"DPI AppliedDPI:", "dpi_applied"}};
    if (view.empty() || (StartsWith(view, "=====") && EndsWith(view, "=====")))
      return;
    if (!facts_.has_value()) {
      facts_ = New(TableId::kUpdaterFacts);
      facts_->line = 1;
    }
    for (const auto& [label, field] : kLabels) {
      if (!StartsWith(view, label))
        continue;
      std::string value(view.substr(label.size()));
      if (Definition(TableId::kUpdaterFacts)
              .fields[Definition(TableId::kUpdaterFacts).Field(field)]
              .type == F::kNumber)
        value = NumberField(value);
      if (!value.empty() || view.size() == label.size()) {
        Set(*facts_, field, value);
        return;
      }
    }
    Unparsed(view, TableId::kUpdaterFacts);
  }
  void End() override {
    if (facts_.has_value())
      Emit(*facts_);
    facts_.reset();
  }

 private:
  std::optional<Record> facts_;
};

// metrologinfo.txt: the local time, a colon, the step ("=..." or the creation line).
class StoreAppLogParser : public ParserBase {
 public:
  using ParserBase::ParserBase;
  void Line(std::string_view view) override {
    ++line_;
    if (view.empty())
      return;
    size_t colon = view.find(":=");
    if (colon == std::string_view::npos)
      colon = view.find(":TGetMetroInfo");
    if (colon == std::string_view::npos || colon == 0)
      return Unparsed(view, TableId::kStoreAppLog);
    Record r = New(TableId::kStoreAppLog);
    r.values = {std::string(view.substr(0, colon)), std::string(view.substr(colon + 1))};
    Emit(r);
  }
  void End() override {}
};

}  // namespace

TableId BlockOfLine(std::string_view view) {
  const std::string line(view);
  static const std::regex process("^[0-9a-f]+ .*\\| *[0-9]+M, *[0-9]+M\\| .*$");
  static const std::regex service("^.* [0-9A-F]+  -?[0-9]+  -?[0-9]+ -?[0-9]+ .*$");
  static const std::regex product("^====[^=].*====$");
  static const std::regex autostart("^-{10} .+ -{10}$");
  if (StartsWith(line, "Version:") || StartsWith(line, "Date:") ||
      (line.find(":\t") != std::string::npos && line.find(":\t") < 20))
    return TableId::kSystem;
  if (RegexMatch(line, product))
    return TableId::kProducts;
  if (StartsWith(line, "Virtual memory:") || StartsWith(line, "GlobalAtomInfo:") ||
      StartsWith(line, "DesktopHeap:") || RegexMatch(line, process))
    return TableId::kProcesses;
  if (line == "===== BHOs =====")
    return TableId::kHelpers;
  if (line == "===== Autoruns =====" || RegexMatch(line, autostart))
    return TableId::kAutostart;
  if (line == "[AntiVirusProduct]" || line == "[AntiSpywareProduct]" ||
      line == "[FirewallProduct]" || line == "[Windows FireWall]")
    return TableId::kSecurity;
  if (line.find("   Ver:") != std::string::npos && line.find("   MD5:") != std::string::npos &&
      line.find("   DT:") != std::string::npos)
    return TableId::kInventory;
  if (RegexMatch(line, service))
    return TableId::kServices;
  return TableId::kUnparsed;
}

std::unique_ptr<RecordParser> MakeParser(SourceFile source, std::string file_name,
                                         RecordCallback emit) {
  using Style = RegistryParser::Style;
  switch (source) {
    case SourceFile::kMainInfo:
      return std::make_unique<MainInfoParser>(std::move(file_name), std::move(emit));
    case SourceFile::kUninstall:
      return std::make_unique<RegistryParser>(std::move(file_name), std::move(emit),
                                              TableId::kUninstall, Style::kRegFile);
    case SourceFile::kServicesTree:
      return std::make_unique<RegistryParser>(std::move(file_name), std::move(emit),
                                              TableId::kServicesRegistry, Style::kServices);
    case SourceFile::kRegistryExports:
      return std::make_unique<RegistryParser>(std::move(file_name), std::move(emit),
                                              TableId::kRegistryExports, Style::kRegExe);
    case SourceFile::kTasks:
      return std::make_unique<TaskParser>(std::move(file_name), std::move(emit));
    case SourceFile::kDigests:
      return std::make_unique<DigestParser>(std::move(file_name), std::move(emit));
    case SourceFile::kInfoVersion:
      return std::make_unique<InfoVersionParser>(std::move(file_name), std::move(emit));
    case SourceFile::kStoreAppLog:
      return std::make_unique<StoreAppLogParser>(std::move(file_name), std::move(emit));
  }
  return nullptr;
}

std::vector<Record> ParseText(SourceFile source, std::string_view text, std::string file_name) {
  std::vector<Record> records;
  auto parser =
      MakeParser(source, std::move(file_name), [&](const Record& r) { records.push_back(r); });
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos)
      end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    parser->Line(line);
    start = end + 1;
  }
  parser->End();
  return records;
}

}  // namespace kovra
