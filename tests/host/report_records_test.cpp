// The reader's parsers against the writer's own renderers: each case renders facts with the
// collectors' functions and reads them back, so that a change to a format on either side
// fails here. Plus the parsers' own rules on hand-made and damaged text.
#include "report_records.h"

#include <gtest/gtest.h>

#include <map>

#include "base/string_list.h"
#include "collectors/product/product_files.h"
#include "collectors/product/product_summary.h"
#include "collectors/common/registry_export.h"
#include "collectors/product/updater.h"
#include "collectors/system/autoruns.h"
#include "collectors/system/os_summary.h"
#include "collectors/system/process_table.h"
#include "collectors/system/security_state.h"
#include "collectors/system/services.h"

namespace kovra {
namespace {

std::string Join(const StringList& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\r\n";
  return text;
}

std::vector<Record> Of(const std::vector<Record>& records, TableId table) {
  std::vector<Record> out;
  for (const Record& r : records) {
    if (r.table == table)
      out.push_back(r);
  }
  return out;
}

std::string Unparsed(const std::vector<Record>& records) {
  std::string out;
  for (const Record& r : Of(records, TableId::kUnparsed))
    out += r.Get("section") + "|" + r.Get("text") + "\n";
  return out;
}

ProcessRow Process(uint32_t pid, std::string name, std::string folder, uint32_t session,
                   int32_t priority, uint32_t handles, uint32_t age_ms) {
  ProcessRow r;
  r.process_id = pid, r.name = std::move(name), r.folder = std::move(folder);
  r.session_id = session, r.priority_class = priority, r.handles = handles;
  r.threads = handles / 10, r.gdi_objects = static_cast<int32_t>(pid % 400);
  r.user_objects = static_cast<int32_t>(pid % 300), r.working_set_mb = pid % 1000;
  r.private_mb = pid % 77, r.age_ms = age_ms;
  return r;
}

TEST(ReportRecords, ProcessTableReadsBackEveryColumnOfTheWritersLayout) {
  const std::vector<ProcessRow> rows = {
      Process(0, "Idle", "", 0, -1, 0, 0),
      Process(4, "System", "", 0, 32, 1234, 999),
      Process(0x1a2c, "explorer.exe", "C:\\Windows", 1, 32, 1234, 7500000),
      Process(0x2b, "Kovra OrbeloDisk.exe", "C:\\Program Files\\Kovra", 1, 16384, 5, 1500),
      Process(0xfffe, "app 12", "D:\\x y", 2, 0x1000, 99999, 125000),
      Process(77, "straße.exe", "C:\\Üser", 1, 128, 12, 60000),
  };
  struct Case {
    const char* what;
    std::vector<ProcessRow> rows;
    std::string separator;
    bool session_column;
  };
  std::vector<ProcessRow> session0 = {rows[0], rows[1], rows[3]};
  for (ProcessRow& r : session0)
    r.session_id = 0;
  const Case cases[] = {
      {"sessions, decimal point", rows, ".", true},
      {"sessions, decimal comma", rows, ",", true},
      {"all in session 0: no session column", session0, ".", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string vm =
        VirtualMemoryText(3ull << 30, 4ull << 30, 1ull << 30, 8ull << 30, 512, 1536, c.separator);
    const std::string text =
        "Version:1.0\r\n" + StarRule() + "\r\n" +
        ProcessTableText(c.rows, c.separator, vm,
                         "Atom:67, RWM:60, Max(10):msctls_hotkey32, "
                         "Max(8):__wine_display_device_guid",
                         "%SystemRoot%\\system32\\csrss.exe SharedSection=1024");
    const std::vector<Record> records = ParseText(SourceFile::kMainInfo, text);
    EXPECT_EQ(Unparsed(records), "");
    const std::vector<Record> got = Of(records, TableId::kProcesses);
    ASSERT_EQ(got.size(), c.rows.size());
    for (size_t i = 0; i < got.size(); ++i) {
      const ProcessRow& w = c.rows[i];
      const Record& r = got[i];
      SCOPED_TRACE(w.name);
      EXPECT_EQ(r.Get("pid"), std::to_string(w.process_id));
      EXPECT_EQ(r.Get("name"), w.name);
      EXPECT_EQ(r.Get("folder"), w.folder);
      EXPECT_EQ(r.Get("session"), c.session_column ? std::to_string(w.session_id) : "");
      EXPECT_EQ(r.Get("gdi_objects"), std::to_string(w.gdi_objects));
      EXPECT_EQ(r.Get("user_objects"), std::to_string(w.user_objects));
      EXPECT_EQ(r.Get("handles"), std::to_string(w.handles));
      EXPECT_EQ(r.Get("threads"), std::to_string(w.threads));
      EXPECT_EQ(r.Get("working_set_mb"), std::to_string(w.working_set_mb));
      EXPECT_EQ(r.Get("private_mb"), std::to_string(w.private_mb));
      EXPECT_EQ(r.Get("priority"), PriorityName(w.priority_class));
      EXPECT_EQ(r.Get("age"), FormatDuration(w.age_ms, c.separator));
      // The printed age is exact below a minute and to the second or minute above.
      const uint64_t age = std::stoull(r.Get("age_ms"));
      EXPECT_LE(age, w.age_ms);
      EXPECT_GT(age + (w.age_ms >= 3600000 ? 60000 : 1000), w.age_ms);
    }
    const std::vector<Record> resources = Of(records, TableId::kResources);
    ASSERT_EQ(resources.size(), 1u);
    const Record& res = resources[0];
    EXPECT_EQ(res.Get("virtual_free_mb"), "3072");
    EXPECT_EQ(res.Get("page_total_mb"), "8192");
    EXPECT_EQ(res.Get("drive_free"), "512 Bytes");
    EXPECT_EQ(res.Get("drive_total"), "1" + c.separator + "50 KB");
    EXPECT_EQ(res.Get("atoms"), "67");
    EXPECT_EQ(res.Get("registered_names"), "60");
    EXPECT_EQ(res.Get("largest_group") + res.Get("largest_group_count"), "msctls_hotkey3210");
    EXPECT_EQ(res.Get("second_group") + res.Get("second_group_count"),
              "__wine_display_device_guid8");
    EXPECT_EQ(res.Get("desktop_heap"), "%SystemRoot%\\system32\\csrss.exe SharedSection=1024");
  }
}

TEST(ReportRecords, ServiceRowsReadBackAndAChangedRowDoesNot) {
  const std::string md5 = "5341834b7731a5fcf0f4a6451a17dd93";
  const std::vector<ServiceRow> rows = {
      {"BITS Service", 0x20, 4, 0, 2, "C:\\windows\\system32\\svchost.exe -k netsvcs", ""},
      {std::string(30, 'N'), 0x1, 1, 1077, 0, "\\SystemRoot\\System32\\drivers\\disk.sys",
       ServiceFileFactsText("6.1.7601.17514", md5)},
      {"Windows Presentation Foundation Font Cache 3.0.0.0", 0x110, 7, -1, 4,
       "\"C:\\Program Files\\Tool\\svc.exe\" /run", ServiceFileFactsText("", md5)},
      {"Dienst für Drücker", 0x2, 1, 0, -1, "", ""},
      {"Lone Ver: name", 0x10, 1, 0, 3, "D:\\Vendor\\driver.sys", ServiceFileFactsText("", md5)},
  };
  StringList lines{StarRule()};
  for (const ServiceRow& r : rows)
    lines.push_back(ServiceRowText(r));
  const std::vector<Record> records = ParseText(SourceFile::kMainInfo, Join(lines));
  EXPECT_EQ(Unparsed(records), "");
  const std::vector<Record> got = Of(records, TableId::kServices);
  ASSERT_EQ(got.size(), rows.size());
  for (size_t i = 0; i < rows.size(); ++i) {
    const ServiceRow& w = rows[i];
    const Record& r = got[i];
    SCOPED_TRACE(w.display_name);
    EXPECT_EQ(r.Get("name"), w.display_name);
    EXPECT_EQ(r.Get("type"), std::to_string(w.type));
    EXPECT_EQ(r.Get("state"), std::to_string(w.state));
    EXPECT_EQ(r.Get("exit_code"), std::to_string(w.exit_code));
    EXPECT_EQ(r.Get("start_type"), std::to_string(w.start_type));
    EXPECT_EQ(r.Get("path"), w.binary_path);
    EXPECT_EQ(ServiceFileFactsText(r.Get("version"), r.Get("md5")),
              w.file_facts.empty() ? ServiceFileFactsText("", "") : w.file_facts);
  }
  EXPECT_EQ(got[0].Get("kind") + got[1].Get("kind"), "servicedriver");
  EXPECT_EQ(got[0].Get("state_name") + "," + got[0].Get("start_name"), "running,automatic");
  EXPECT_EQ(got[1].Get("version"), "6.1.7601.17514");
  // Marks: a binary outside the Windows folders, a driver without version information.
  EXPECT_EQ(
      got[0].Get("outside_windows") + got[2].Get("outside_windows") + got[4].Get("outside_windows"),
      "falsetruetrue");
  EXPECT_EQ(got[1].Get("driver_without_version") + got[3].Get("driver_without_version") +
                got[4].Get("driver_without_version"),
            "falsetruefalse");

  // One more blank anywhere in the row's format, or a name padded wider: not a service row,
  // and the line is kept as unrecognised.
  const std::string row = ServiceRowText(rows[0]);
  for (const std::string& changed :
       {std::string(row).insert(row.find("  4"), " "), std::string(row).insert(30, " "),
        std::string(row).insert(row.find(" 0 2 "), " ")}) {
    const std::vector<Record> again = ParseText(SourceFile::kMainInfo, StarRule() + "\n" + changed);
    const std::vector<Record> services = Of(again, TableId::kServices);
    EXPECT_TRUE(services.empty() || services[0].Get("name") != rows[0].display_name ||
                services[0].Get("exit_code") != "0")
        << changed;
  }
}

TEST(ReportRecords, TheMainInfoFileOfTheWritersBlocksReadsBackBlockByBlock) {
  OsSummaryFacts os;
  os.display_name = "Windows 10 x64", os.major = 10, os.build = 19045;
  os.system_language = "English", os.has_computer_name = true, os.computer_name = "PC-7";
  os.wow64 = true, os.memory[0] = 8ull << 30, os.memory[1] = 1ull << 30;
  os.system_drive = "C:", os.has_disk = true, os.disk_total = 500107862016;
  os.disk_free_to_caller = 1ull << 30, os.session_user = "Alice", os.process_user = "Admin";
  os.integrity_rid = 0x3000;
  StringList info{"Version:1.0.0.0", "Date:12/9/2026 9:46:03 PM"};
  AppendList(info, RenderOsSummary(os));
  StringList products{StarRule()};
  AddProductBlock(products, "ZTN", "8.1.0", 2333850, "8.1.0.22");
  AddProductBlock(products, "OD", "2.0", 10, "1.0.0.0");
  AddProductBlock(products, "Refresher", "20261209", 0, "Unknown");
  AppendList(info, products);
  info.push_back(StarRule());
  info.push_back(BrowserHelperLine("", "C:\\x.dll"));  // before its header: kept as unrecognised
  info.insert(info.end(), {"", "===== BHOs =====", ""});
  info.push_back(BrowserHelperLine("Helper, Inc.", "C:\\Program Files\\H\\h.dll"));
  info.push_back(BrowserHelperLine("", ""));
  AutorunsBlock autoruns;
  autoruns.Section("---------- Startup ----------");
  autoruns.Add("\"C:\\Tools\\a.exe\" /min");
  autoruns.Section("---------- Run ----------");
  autoruns.Add(RunValueLine("KovraTool", "C:\\Tools\\tool.exe /min"));
  autoruns.Add(RunValueLine("", "%SystemRoot%\\system32\\ctfmon.exe"));
  autoruns.Add(RunValueLine("Number", "dword:00000007"));
  autoruns.Section("---------- RunOnceEx ----------");
  autoruns.Add(RunOnceExLines("a.dll|Go|now"));
  autoruns.Section("---------- Windows Shell ----------");
  autoruns.Add(ShellValueLines("explorer.exe,evil.exe", "explorer.exe", "C:\\Windows\\system32",
                               "C:\\Windows"));
  AppendList(info, autoruns.Take());
  info.push_back(StarRule());
  info.push_back("[AntiVirusProduct]");
  AppendList(info, SecurityProductGroup("Guard AV", "397568"));
  AppendList(info, SecurityProductGroup("Old AV", "393232"));
  info.insert(info.end(), {"", "[AntiSpywareProduct]"});
  AppendList(info, OldSecurityProductGroup("Spy Sweeper", "True", ""));
  info.insert(info.end(), {"", "[FirewallProduct]", "", "[Windows FireWall]"});
  AppendList(info, FirewallStateLines(true, false, true, false));
  info.push_back(StarRule());
  info.push_back(
      InventoryLine("ztn.exe", "8.1.0.22", std::string(32, 'a'), "12/9/2026 9:45:43 PM"));
  info.push_back(InventoryLine("Drivers\\filter.sys", "", std::string(32, 'b'), "09.12.2026"));
  info.push_back("a line no writer makes");

  const std::vector<Record> records = ParseText(SourceFile::kMainInfo, Join(info));
  EXPECT_EQ(Unparsed(records),
            "unparsed|, C:\\x.dll\n"
            "inventory|a line no writer makes\n");

  const std::vector<Record> system = Of(records, TableId::kSystem);
  ASSERT_EQ(system.size(), 1u);
  const std::map<std::string, std::string> expected = {
      {"tool_version", "1.0.0.0"},   {"date", "12/9/2026 9:46:03 PM"},
      {"os_name", "Windows 10 x64"}, {"os_version", "10.0.19045"},
      {"service_pack", ""},          {"computer", "PC-7"},
      {"os_type", "64bit"},          {"memory_mb", "8192"},
      {"memory_free_mb", "1024"},    {"disk_total_gb", "465.76"},
      {"disk_free_gb", "1.00"},      {"session_user", "Alice"},
      {"process_user", "Admin"},     {"user_level", "3000"},
      {"system_drive", "C:"},        {"language", "English"}};
  for (const auto& [field, value] : expected)
    EXPECT_EQ(system[0].Get(field), value) << field;

  const std::vector<Record> p = Of(records, TableId::kProducts);
  ASSERT_EQ(p.size(), 3u);
  EXPECT_EQ(p[0].Get("name") + "|" + p[0].Get("display_version") + "|" + p[0].Get("file_version") +
                "|" + p[0].Get("size_bytes"),
            "ZTN|8.1.0|8.1.0.22|2333850");
  EXPECT_EQ(p[0].Get("versions_differ") + p[1].Get("versions_differ") + p[2].Get("versions_differ"),
            "falsetruefalse");

  const std::vector<Record> helpers = Of(records, TableId::kHelpers);
  ASSERT_EQ(helpers.size(), 2u);
  EXPECT_EQ(helpers[0].Get("class_name") + "|" + helpers[0].Get("server_path"),
            "Helper, Inc.|C:\\Program Files\\H\\h.dll");
  EXPECT_EQ(helpers[1].Get("class_name") + "|" + helpers[1].Get("server_path"), "|");

  std::string autostart;
  for (const Record& r : Of(records, TableId::kAutostart))
    autostart += r.Get("section") + "|" + r.Get("name") + "|" + r.Get("file") + "|" +
                 r.Get("outside_windows") + "\n";
  EXPECT_EQ(autostart,
            "Startup||C:\\Tools\\a.exe|true\n"
            "Run|KovraTool|C:\\Tools\\tool.exe|true\n"
            "Run||%SystemRoot%\\system32\\ctfmon.exe|false\n"
            "Run|Number||false\n"
            "RunOnceEx||rundll32.exe|false\n"
            "RunOnceEx||rundll32.exe|false\n"
            "RunOnceEx||rundll32.exe|false\n"
            "Windows Shell||evil.exe|false\n");

  std::string security;
  for (const Record& r : Of(records, TableId::kSecurity))
    security += r.Get("class") + "|" + r.Get("name") + "|" + r.Get("enabled") + "|" +
                r.Get("product_state") + "|" + r.Get("up_to_date") + "\n";
  EXPECT_EQ(security,
            "AntiVirusProduct|Guard AV|true|397568|true\n"
            "AntiVirusProduct|Old AV|false|393232|false\n"
            "AntiSpywareProduct|Spy Sweeper|true||\n");
  const std::vector<Record> firewall = Of(records, TableId::kFirewall);
  ASSERT_EQ(firewall.size(), 1u);
  EXPECT_EQ(firewall[0].values, (std::vector<std::string>{"true", "false", "true", "false"}));

  const std::vector<Record> inventory = Of(records, TableId::kInventory);
  ASSERT_EQ(inventory.size(), 2u);
  EXPECT_EQ(inventory[0].values,
            (std::vector<std::string>{"ztn.exe", "8.1.0.22", std::string(32, 'a'),
                                      "12/9/2026 9:45:43 PM"}));
  EXPECT_EQ(inventory[1].Get("path") + "|" + inventory[1].Get("version"), "Drivers\\filter.sys|");
}

// A registry tree in memory, for the writer's walk.
class Tree : public RegTreeSource {
 public:
  std::map<std::string, std::pair<std::vector<RegValue>, StringList>> keys;
  std::string current;
  bool Open(const std::string& path) override {
    current = path;
    return keys.count(path) > 0;
  }
  std::vector<RegValue> Values() override { return keys[current].first; }
  StringList SubKeyNames() override { return keys[current].second; }
};

TEST(ReportRecords, RegistryTextsOfTheWritersWalkReadBackValueByValue) {
  Tree tree;
  tree.keys["U"] = {{{"", RegDataKind::String, "default", std::nullopt}}, {"A", "B"}};
  tree.keys["U\\A"] = {{{"DisplayIcon", RegDataKind::String, "C:\\A\\b.exe,0", std::nullopt},
                        {"Quote", RegDataKind::String, "say \"hi\"=\"x\"", std::nullopt},
                        {"Size", RegDataKind::Integer, "dword:0000FFFF", 0xFFFF},
                        {"Empty", RegDataKind::Binary, "", std::nullopt},
                        {"Deps", RegDataKind::Unknown, "hex:61,00", std::nullopt},
                        {"Gone", RegDataKind::Unknown, "kovrareaderror", std::nullopt}},
                       {}};
  tree.keys["U\\B"] = {};
  struct Case {
    RegExportStyle style;
    SourceFile source;
    TableId table;
    std::string expected;
  };
  const Case cases[] = {
      {RegExportStyle::kRegFile, SourceFile::kUninstall, TableId::kUninstall,
       "HKEY_LOCAL_MACHINE\\U||key|\n"
       "HKEY_LOCAL_MACHINE\\U||string|default\n"
       "HKEY_LOCAL_MACHINE\\U\\A||key|\n"
       "HKEY_LOCAL_MACHINE\\U\\A|DisplayIcon|string|C:\\A\\b.exe,0\n"
       "HKEY_LOCAL_MACHINE\\U\\A|Quote|string|say \"hi\"=\"x\"\n"
       "HKEY_LOCAL_MACHINE\\U\\A|Size|dword|0000FFFF\n"
       "HKEY_LOCAL_MACHINE\\U\\A|Empty|empty|\n"
       "HKEY_LOCAL_MACHINE\\U\\A|Deps|hex|61,00\n"
       "HKEY_LOCAL_MACHINE\\U\\A|Gone|error|\n"
       "HKEY_LOCAL_MACHINE\\U\\B||key|\n"},
      {RegExportStyle::kServices, SourceFile::kServicesTree, TableId::kServicesRegistry,
       "HKEY_LOCAL_MACHINE\\U||key|\n"
       "HKEY_LOCAL_MACHINE\\U||string|default\n"
       "HKEY_LOCAL_MACHINE\\U\\A||key|\n"
       "HKEY_LOCAL_MACHINE\\U\\A|DisplayIcon|string|C:\\A\\b.exe,0\n"
       "HKEY_LOCAL_MACHINE\\U\\A|Quote|string|say \"hi\"=\"x\"\n"
       "HKEY_LOCAL_MACHINE\\U\\A|Size|dword|0000FFFF\n"
       "HKEY_LOCAL_MACHINE\\U\\B||key|\n"},
  };
  for (const Case& c : cases) {
    StringList lines{c.style == RegExportStyle::kRegFile ? "Windows Registry Editor Version 5.00"
                                                         : StarRule()};
    ExportRegTree(tree, "U", "HKEY_LOCAL_MACHINE", c.style, lines);
    const std::vector<Record> records = ParseText(c.source, Join(lines), "x.txt");
    EXPECT_EQ(Unparsed(records), "");
    std::string got;
    for (const Record& r : Of(records, c.table))
      got += r.Get("key") + "|" + r.Get("value") + "|" + r.Get("kind") + "|" + r.Get("data") + "\n";
    EXPECT_EQ(got, c.expected);
  }
  // `reg export` escapes quotes and backslashes, writes "@" for the default value and continues
  // long hex values on the next line.
  const std::vector<Record> exported = ParseText(
      SourceFile::kRegistryExports,
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Run]\r\n"
      "@=\"C:\\\\a \\\"b\\\"\"\r\n\"K\\\"ey\"=hex(2):25,00,\\\r\n  53,00\r\nnot a value\r\n",
      "SYS_FILE_RunStart_2.txt");
  std::string got;
  for (const Record& r : exported)
    got += r.Get("file") + "|" + r.Get("value") + r.Get("section") + "|" + r.Get("kind") + "|" +
           r.Get("data") + r.Get("text") + "\n";
  EXPECT_EQ(got,
            "SYS_FILE_RunStart_2.txt||key|\n"
            "SYS_FILE_RunStart_2.txt||string|C:\\a \"b\"\n"
            "SYS_FILE_RunStart_2.txt|K\"ey|hex(2)|25,00,53,00\n"
            "SYS_FILE_RunStart_2.txt|registry_exports||not a value\n");
}

TEST(ReportRecords, UpdaterFilesTasksAndTheStoreAppLogReadBack) {
  const std::vector<Record> digests = ParseText(
      SourceFile::kDigests, DigestLine("C:\\P,Q\\a.dll", std::string(32, 'c')) + "\r\nbad,xyz\r\n");
  ASSERT_EQ(digests.size(), 2u);
  EXPECT_EQ(digests[0].values, (std::vector<std::string>{"C:\\P,Q\\a.dll", std::string(32, 'c')}));
  EXPECT_EQ(digests[1].Get("text"), "bad,xyz");

  DisplayFacts display;
  display.date = "12/9/2026", display.screen_width = 1920, display.screen_height = 1080;
  display.dpi_api = 120, display.desktop_key = true, display.metrics_key = true;
  display.applied_dpi = 144;
  const std::vector<Record> facts =
      ParseText(SourceFile::kInfoVersion, Join(InfoVersionLines(display)));
  ASSERT_EQ(facts.size(), 1u);
  EXPECT_EQ(facts[0].values, (std::vector<std::string>{"8.1.0.92", "12/9/2026", "1920", "1080",
                                                       "120", "120", "144"}));

  const std::vector<Record> tasks = ParseText(
      SourceFile::kTasks,
      "\r\nFolder: \\\r\nHostName:      PC\r\nTaskName:      \\A\r\nStatus:        Ready\r\n"
      "Task To Run:   C:\\a.exe\r\nLast Result:   0\r\nRepeat: Every: Disabled\r\n\r\n"
      "HostName:      PC\r\nTaskName:      \\B\r\nno colon here\r\n");
  ASSERT_EQ(tasks.size(), 3u);
  EXPECT_EQ(tasks[0].Get("task") + "|" + tasks[0].Get("status") + "|" +
                tasks[0].Get("task_to_run") + "|" + tasks[0].Get("other") + "|" +
                tasks[0].Get("folder"),
            "\\A|Ready|C:\\a.exe|Repeat: Every: Disabled|\\");
  EXPECT_EQ(tasks[1].Get("text"), "no colon here");  // kept, at its place
  EXPECT_EQ(tasks[2].Get("task") + tasks[2].Get("folder"), "\\B\\");

  const std::vector<Record> log = ParseText(
      SourceFile::kStoreAppLog,
      "9:46:12 PM:TGetMetroInfo.Create\r\n9:46:12 PM:==Get KeyName\xEF\xBC\x9Ax\r\nnoise\r\n");
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(log[0].values, (std::vector<std::string>{"9:46:12 PM", "TGetMetroInfo.Create"}));
  EXPECT_EQ(log[1].Get("message"), "==Get KeyName\xEF\xBC\x9Ax");
  EXPECT_EQ(log[2].Get("line"), "3");
}

TEST(ReportRecords, EndlessLinesAreKeptAsUnrecognisedWithoutExhaustingTheStack) {
  for (const size_t length : {size_t{5000}, size_t{300000}}) {
    const std::string name(length, 'x');
    const std::string text =
        StarRule() + "\n" + ServiceRowText({name, 0x10, 1, 0, 3, "C:\\a.exe", ""}) + "\n" +
        StarRule() + "\n" + InventoryLine(name, "", std::string(32, 'a'), "1/1/2026") + "\n";
    const std::vector<Record> records = ParseText(SourceFile::kMainInfo, text);
    ASSERT_EQ(records.size(), 2u) << length;
    EXPECT_EQ(records[0].Get("text"), ServiceRowText({name, 0x10, 1, 0, 3, "C:\\a.exe", ""}));
    EXPECT_EQ(records[1].Get("line"), "4");
    EXPECT_EQ(DateSortKey(name), name);
  }
}

TEST(ReportRecords, DatesSortAndWindowsFoldersAreRecognised) {
  const std::pair<const char*, const char*> dates[] = {
      {"12/9/2026 9:46:03 PM", "2026-12-09 21:46:03"},
      {"12/9/2026 12:05:00 AM", "2026-12-09 00:05:00"},
      {"25/12/2026 08:00:00", "2026-12-25 08:00:00"},
      {"09.12.2026 21:46", "2026-12-09 21:46:00"},
      {"2026-12-09 21:46:03", "2026-12-09 21:46:03"},
      {"2026/1/2", "2026-01-02 00:00:00"},
      {"Dec 9", "Dec 9"}};
  for (const auto& [date, key] : dates)
    EXPECT_EQ(DateSortKey(date), key) << date;
  const std::pair<const char*, bool> paths[] = {
      {"C:\\Windows\\system32\\svchost.exe -k netsvcs", false},
      {"\\SystemRoot\\System32\\drivers\\x.sys", false},
      {"system32\\DRIVERS\\x.sys", false},
      {"\\??\\C:\\WINDOWS\\x.sys", false},
      {"%SystemRoot%\\system32\\a.exe", false},
      {"rundll32.exe a.dll,Go", false},
      {"", false},
      {"\"C:\\Program Files\\A\\a.exe\" /x", true},
      {"C:\\Windows2\\a.exe", true},
      {"D:\\Windows\\a.exe", false},
      {"%ProgramFiles%\\a.exe", true},
      {"\\\\server\\share\\a.exe", true}};
  for (const auto& [path, outside] : paths)
    EXPECT_EQ(OutsideWindowsFolders(path), outside) << path;
}

}  // namespace
}  // namespace kovra
