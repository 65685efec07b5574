#include "app/collection_pipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <set>
#include <stdexcept>

namespace kovra {
namespace {

// A clock that moves only when told: each fake collector takes 10 ms.
class FakeClock : public RunClock {
 public:
  int64_t now = 1000;
  int64_t NowMs() override { return now; }
};

// Records what the run does; `fail` names the calls that throw.
class FakeRun : public RunProgress, public StagingFiles {
 public:
  FakeClock clock;
  RunLog log{clock};
  std::vector<std::string> events;
  std::set<std::string> fail;
  std::map<std::string, StringList> saved;
  std::set<std::string> dirs{"C:\\Temp\\"};
  std::set<std::string> files;
  bool no_updater = false;
  // The staging folder each program-starting collector was given.
  std::map<std::string, std::string> staging_given;
  int held_retries = 0;
  bool store_fails = false;
  StringList packed_list;
  bool packed_with_list = false;
  // The discovery handed to the run, the one the run's own discovery finds, and what the
  // product steps were given.
  DiscoveredProduct at_start, found;
  std::vector<std::string> product_seen;
  static std::string Text(const DiscoveredProduct& p) {
    return p.digits.current + "/" + p.digits.previous + " " + p.folder;
  }

  class Updater : public UpdaterCollector {
   public:
    explicit Updater(std::vector<std::string>& events) : events_(events) {}
    ~Updater() override { events_.push_back("release updater"); }
    StringList& ArchiveList() override { return list_; }

   private:
    std::vector<std::string>& events_;
    StringList list_{"C:\\ProgramData\\Updater\\log.txt", ""};
  };

  class StoreApps : public StoreAppCollector {
   public:
    explicit StoreApps(const bool& fail) : fail_(fail) {}
    bool StartGetMetroInfo() override {
      if (fail_)
        throw std::runtime_error("store apps");
      return true;
    }
    std::string LogPath() const override { return "C:\\Temp\\metrologinfo.txt"; }

   private:
    const bool& fail_;
  };
  StoreApps store{store_fails};

  // Records its collection and when it is dropped (the program ended).
  class SystemInfo : public StartedCapture {
   public:
    explicit SystemInfo(FakeRun& run) : run_(run) {}
    ~SystemInfo() override { run_.events.push_back("drop systeminfo"); }
    StringList Collect() override {
      run_.Maybe("systeminfo");
      run_.events.push_back("collect systeminfo");
      return {"systeminfo"};
    }

   private:
    FakeRun& run_;
  };

  void Maybe(const std::string& what) {
    clock.now += 10;
    if (fail.count(what))
      throw std::runtime_error(what);
  }
  void SendStart(int steps) override { events.push_back("start " + std::to_string(steps)); }
  void PostStep(int step) override { events.push_back("step " + std::to_string(step)); }
  void SendDone() override { events.push_back("done"); }
  bool Cancelled() override {
    return cancel_after_step > 0 && Steps().size() >= static_cast<size_t>(cancel_after_step);
  }
  int cancel_after_step = 0;
  std::string TempFolder() override {
    Maybe("temp");
    return "C:\\Temp\\";
  }
  std::string ExeFolder() override { return "C:\\Tool\\"; }
  bool FileExists(const std::string& p) override { return files.count(p) > 0; }
  bool MakeStagingFolder(const std::string& p, RunLog&) override {
    events.push_back("make " + p);
    if (fail.count("mkdir") && p.starts_with("C:\\Temp\\"))
      return false;
    dirs.insert(p);
    return true;
  }
  bool RemoveFolder(const std::string& p) override {
    events.push_back("remove " + p);
    dirs.erase(p);
    return true;
  }
  void ClearName(const std::string& p, RunLog&) override {
    events.push_back("delete " + p);
    files.erase(p);
  }
  void SaveList(const StringList& list, const std::string& path) override {
    Maybe("save " + path);
    events.push_back("save " + path);
    saved[path] = list;
  }

  // A collector that returns `value` unless its name is in `fail`.
  template <typename T>
  std::function<T()> Gives(const std::string& name, T value) {
    return [this, name, value] {
      Maybe(name);
      return value;
    };
  }
  std::function<void(StringList&)> Appends(const std::string& name) {
    return [this, name](StringList& out) {
      Maybe(name);
      out.push_back(name);
    };
  }

  RunCollectors Collectors() {
    RunCollectors c;
    c.init_wow64_redirection = [this] { events.push_back("wow64"); };
    c.file_version_text = Gives<std::string>("version", "1.0.0.0");
    c.date_time_text = Gives<std::string>("date", "09.12.2026 07:31:47");
    c.os_summary = Gives<StringList>("os", {"os"});
    c.product_summary = [this](const GenerationDigits& d) {
      Maybe("product");
      product_seen.push_back("summary " + d.current + "/" + d.previous);
      return StringList{"product"};
    };
    c.process_table = Gives<StringList>("processes", {"processes"});
    c.services_and_drivers = Appends("services");
    c.browser_helper_objects = Gives<StringList>("bho", {"bho"});
    c.autoruns = Gives<StringList>("autoruns", {"autoruns"});
    c.security_state = Appends("security");
    c.discover_product_folder = [this] {
      Maybe("discover");
      return found;
    };
    c.product_files = [this](const DiscoveredProduct& product, StringList& out) {
      Maybe("files");
      product_seen.push_back("files " + Text(product));
      out.push_back("files");
    };
    c.uninstall_keys = Appends("uninstall");
    c.services_tree = Appends("servicetree");
    c.product_logs = [this](const DiscoveredProduct& product, const std::string& staging) {
      Maybe("logs");
      product_seen.push_back("logs " + Text(product));
      // A log held open is tried again and again; the run log keeps one line for it.
      for (int i = 0; i < held_retries; ++i)
        log.Skipped("C:\\PulseSync\\locked.log", SkipReason::kHeldByAnotherProgram);
      events.push_back("logs " + staging);
    };
    c.start_system_info = [this](const std::string& staging) -> std::unique_ptr<StartedCapture> {
      staging_given["systeminfo"] = staging;
      Maybe("start systeminfo");
      events.push_back("start systeminfo");
      return std::make_unique<SystemInfo>(*this);
    };
    c.scheduled_tasks = [this](const std::string& path, const std::string& staging) {
      staging_given["tasks"] = staging;
      Maybe("tasks");
      events.push_back("tasks " + path);
    };
    c.updater = [this](const std::string& staging) -> std::unique_ptr<UpdaterCollector> {
      staging_given["updater"] = staging;
      Maybe("updater");
      if (no_updater)
        return nullptr;
      return std::make_unique<Updater>(events);
    };
    c.store_apps = [this] { return &store; };
    c.discard_temporary_files = [this] { events.push_back("discard"); };
    c.pack_report = [this](const StringList* list, const std::string& staging,
                           const std::string& report) {
      Maybe("pack");
      packed_with_list = list != nullptr;
      if (list)
        packed_list = *list;
      events.push_back("pack " + staging + " " + report);
    };
    return c;
  }

  void Run(const std::string& report) {
    ExecuteCollection(*this, *this, Collectors(), log, report, at_start);
  }

  std::vector<int> Steps() const {
    std::vector<int> r;
    for (const auto& e : events) {
      if (e.rfind("step ", 0) == 0)
        r.push_back(std::stoi(e.substr(5)));
    }
    return r;
  }
};

const std::string kStaging = "C:\\Temp\\GetInfoDir\\";
const std::string kReport = "C:\\Users\\anna\\Desktop\\nf_logs_20261209.log";

TEST(CollectionRun, FullRunWritesEveryFileInOrder) {
  FakeRun s;
  s.files.insert(kReport);
  s.Run(kReport);

  const std::vector<std::string> expected = {
      "wow64",
      "start 15",
      "make " + kStaging,
      "step 1",
      "step 2",
      "step 3",
      "start systeminfo",
      "step 4",
      "step 5",
      "step 6",
      "step 7",
      "save " + kStaging + "Kovra_Debug_Info.txt",
      "save " + kStaging + "uninstall.txt",
      "step 8",
      "save " + kStaging + "services.txt",
      "step 9",
      "logs " + kStaging,
      "step 10",
      "collect systeminfo",
      "drop systeminfo",
      "save " + kStaging + "SystemInfo.txt",
      "step 11",
      "tasks " + kStaging + "task.txt",
      "step 12",
      "save " + kStaging + "GetInfoLog.txt",
      "delete " + kReport,
      "save " + kStaging + "GetInfoRun.txt",
      "pack " + kStaging + " " + kReport,
      "step 13",
      "release updater",
      "remove " + kStaging,
      "done",
  };
  EXPECT_EQ(s.events, expected);
  // The programs write into the run's staging folder (and get it as their TEMP).
  EXPECT_EQ(s.staging_given,
            (std::map<std::string, std::string>{
                {"systeminfo", kStaging}, {"tasks", kStaging}, {"updater", kStaging}}));
  const std::string star(81, '*');
  EXPECT_EQ(
      s.saved[kStaging + "Kovra_Debug_Info.txt"],
      (StringList{"Version:1.0.0.0", "Date:09.12.2026 07:31:47", "os", "product", star, "processes",
                  "services", star, "bho", "autoruns", star, "security", "files"}));
  EXPECT_EQ(s.saved[kStaging + "uninstall.txt"],
            (StringList{"Windows Registry Editor Version 5.00", "uninstall"}));
  EXPECT_EQ(s.saved[kStaging + "services.txt"], StringList{"servicetree"});
  EXPECT_EQ(s.saved[kStaging + "SystemInfo.txt"], StringList{"systeminfo"});
  EXPECT_TRUE(s.saved[kStaging + "GetInfoLog.txt"].empty());
  ASSERT_TRUE(s.packed_with_list);
  EXPECT_EQ(s.packed_list, (StringList{"C:\\ProgramData\\Updater\\log.txt", "", kStaging + "*.*",
                                       "C:\\Temp\\metrologinfo.txt"}));
}

// The product summary runs before the run's own discovery and reads the digits of the one made
// before the run; the inventory and the log collection get what the run's discovery found.
TEST(CollectionRun, EachProductStepGetsItsDiscovery) {
  FakeRun s;
  s.at_start = DiscoveredProduct{{"7", "6"}, "C:\\Before\\"};
  s.found = DiscoveredProduct{{"8", "7"}, "C:\\Zentrix"};
  s.Run(kReport);
  EXPECT_EQ(s.product_seen, (std::vector<std::string>{"summary 7/6", "files 8/7 C:\\Zentrix",
                                                      "logs 8/7 C:\\Zentrix"}));
}

TEST(CollectionRun, StagingFolderIsMadeFreshFirst) {
  FakeRun s;
  s.dirs.insert(kStaging);
  s.Run(kReport);
  ASSERT_GE(s.events.size(), 3u);
  EXPECT_EQ(s.events[2], "make " + kStaging);
  EXPECT_EQ(s.saved.count(kStaging + "Kovra_Debug_Info.txt"), 1u);
}

TEST(CollectionRun, FailingGuardsLeaveTheirMarkersInOrder) {
  FakeRun s;
  s.fail = {"os", "autoruns", "security"};
  s.Run(kReport);
  EXPECT_EQ(s.saved[kStaging + "GetInfoLog.txt"],
            (StringList{"!!Error:2!!", "!!Error:3!!", "!!Error:4!!"}));
  // Guard 4 failed before the main info file was saved; nothing of it was written.
  EXPECT_EQ(s.saved.count(kStaging + "Kovra_Debug_Info.txt"), 0u);
  // The steps of the failed guards are skipped and the numbering simply goes on.
  EXPECT_EQ(s.Steps(), (std::vector<int>{1, 2}));
  EXPECT_TRUE(s.packed_with_list);
  EXPECT_EQ(s.events.back(), "done");
}

TEST(CollectionRun, EveryMarkerHasItsGuard) {
  const std::pair<const char*, const char*> cases[] = {
      {"date", "!!Error:1!!"},       {"processes", "!!Error:2!!"}, {"autoruns", "!!Error:3!!"},
      {"systeminfo", "!!Error:4!!"}, {"tasks", "!!Error:5!!"},     {"updater", "!!Error:6!!"},
  };
  for (const auto& [call, marker] : cases) {
    FakeRun s;
    s.fail = {call};
    s.Run(kReport);
    EXPECT_EQ(s.saved[kStaging + "GetInfoLog.txt"], StringList{marker}) << call;
  }
}

TEST(CollectionRun, StarRuleStaysWhenTheProcessTableFails) {
  FakeRun s;
  s.fail = {"processes"};
  s.Run(kReport);
  const std::string star(81, '*');
  EXPECT_EQ(s.saved[kStaging + "Kovra_Debug_Info.txt"],
            (StringList{"Version:1.0.0.0", "Date:09.12.2026 07:31:47", "os", "product", star,
                        "autoruns", star, "security", "files"}));
}

TEST(CollectionRun, ACancelledRunEndsAtItsNextStepWithoutAReport) {
  for (int after : {1, 9, 12}) {
    FakeRun s;
    s.cancel_after_step = after;
    s.Run(kReport);
    EXPECT_EQ(s.Steps().size(), static_cast<size_t>(after)) << after;
    EXPECT_EQ(std::count_if(s.events.begin(), s.events.end(),
                            [](const std::string& e) { return e.rfind("pack", 0) == 0; }),
              0)
        << after;
    EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "discard"), 1) << after;
    // A systeminfo started ahead of its stage is ended, not left running.
    EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "start systeminfo"),
              std::count(s.events.begin(), s.events.end(), "drop systeminfo"))
        << after;
    ASSERT_GE(s.events.size(), 2u);
    EXPECT_EQ(s.events[s.events.size() - 2], "remove " + kStaging) << after;
    EXPECT_EQ(s.events.back(), "done");
    // Past the updater's stage its clean-up ran before the temporary files were discarded.
    if (after == 12) {
      EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "release updater"), 1);
    }
  }
}

TEST(CollectionRun, LaterStageFailureKeepsEarlierFiles) {
  FakeRun s;
  s.fail = {"logs"};
  s.Run(kReport);
  EXPECT_EQ(s.saved.count(kStaging + "services.txt"), 1u);
  EXPECT_EQ(s.saved.count(kStaging + "SystemInfo.txt"), 0u);
  EXPECT_EQ(s.Steps(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "drop systeminfo"), 1);
}

TEST(CollectionRun, SystemInfoStartsAtItsOwnStageWhenTheEarlyStartIsMissed) {
  for (const char* fail : {"processes", "start systeminfo"}) {
    FakeRun s;
    s.fail = {fail};
    s.Run(kReport);
    const auto logs = std::find(s.events.begin(), s.events.end(), "logs " + kStaging);
    const auto collect = std::find(s.events.begin(), s.events.end(), "collect systeminfo");
    if (std::string(fail) == "processes") {
      EXPECT_EQ(std::find(s.events.begin(), logs, "start systeminfo"), logs) << fail;
      EXPECT_NE(std::find(logs, collect, "start systeminfo"), collect) << fail;
      EXPECT_EQ(s.saved[kStaging + "SystemInfo.txt"], StringList{"systeminfo"}) << fail;
    } else {
      // Starting fails both times: the fourth stage's marker, no file.
      EXPECT_EQ(collect, s.events.end()) << fail;
      EXPECT_EQ(s.saved[kStaging + "GetInfoLog.txt"], StringList{"!!Error:4!!"}) << fail;
    }
  }
}

TEST(CollectionRun, NoUpdaterMeansNoArchiveList) {
  FakeRun s;
  s.fail = {"updater"};
  s.Run(kReport);
  EXPECT_FALSE(s.packed_with_list);
  EXPECT_EQ(s.events.back(), "done");
  EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "release updater"), 0);

  FakeRun absent;
  absent.no_updater = true;
  absent.Run(kReport);
  EXPECT_FALSE(absent.packed_with_list);
  EXPECT_TRUE(absent.saved[kStaging + "GetInfoLog.txt"].empty());
}

TEST(CollectionRun, FailingStoreAppCollectorAddsNoEntry) {
  FakeRun s;
  s.store_fails = true;
  s.Run(kReport);
  EXPECT_EQ(s.packed_list, (StringList{"C:\\ProgramData\\Updater\\log.txt", "", kStaging + "*.*"}));
  EXPECT_TRUE(s.saved[kStaging + "GetInfoLog.txt"].empty());
}

TEST(CollectionRun, ErrorOutsideTheGuardsStillCleansUpAndSendsDone) {
  for (const char* call : {"version", "pack"}) {
    FakeRun s;
    s.fail = {call};
    s.Run(kReport);
    const auto removed = std::find(s.events.begin(), s.events.end(), "remove " + kStaging);
    EXPECT_NE(removed, s.events.end()) << call;
    EXPECT_EQ(s.events.back(), "done") << call;
  }
  // The updater collector's clean-up runs even when packing fails.
  FakeRun s;
  s.fail = {"pack"};
  s.Run(kReport);
  EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "release updater"), 1);
}

TEST(CollectionRun, FailedErrorLogSaveSkipsTheOldReportDeletion) {
  FakeRun s;
  s.files.insert(kReport);
  s.fail = {"save " + kStaging + "GetInfoLog.txt"};
  s.Run(kReport);
  EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "delete " + kReport), 0);
  EXPECT_EQ(s.events.back(), "done");
}

TEST(CollectionRun, StagingFolderFallsBackToTheExecutablesFolder) {
  FakeRun cannot_create;
  cannot_create.fail = {"mkdir"};
  cannot_create.Run(kReport);
  EXPECT_EQ(cannot_create.events.back(), "done");
  EXPECT_EQ(cannot_create.saved.count("C:\\Tool\\GetInfoDir\\Kovra_Debug_Info.txt"), 1u);

  FakeRun no_temp;
  no_temp.fail = {"temp"};
  no_temp.Run(kReport);
  EXPECT_EQ(no_temp.saved.count("C:\\Tool\\GetInfoDir\\GetInfoLog.txt"), 1u);
}

// The run log as saved: every line parsed, the header left out.
std::vector<RunEntry> SavedRunLog(FakeRun& s) {
  const StringList& lines = s.saved[kStaging + "GetInfoRun.txt"];
  std::vector<RunEntry> entries;
  for (size_t i = 1; i < lines.size(); ++i) {
    const auto e = ParseRunLogLine(lines[i]);
    EXPECT_TRUE(e.has_value()) << lines[i];
    if (e)
      entries.push_back(*e);
  }
  return entries;
}

const RunEntry* Find(const std::vector<RunEntry>& entries, const std::string& name,
                     RunEntryKind kind) {
  for (const RunEntry& e : entries) {
    if (e.name == name && e.kind == kind)
      return &e;
  }
  return nullptr;
}

TEST(CollectionRunLog, EveryStageHasItsLineAndTheDurationsAddUp) {
  FakeRun s;
  s.held_retries = 3;
  s.Run(kReport);
  const std::vector<RunEntry> entries = SavedRunLog(s);
  ASSERT_FALSE(entries.empty());
  EXPECT_EQ(entries[0].kind, RunEntryKind::kRun);
  std::vector<std::string> stages;
  int64_t sum = 0;
  for (const RunEntry& e : entries) {
    if (e.kind == RunEntryKind::kStage) {
      stages.push_back(e.name);
      sum += e.ms;
      EXPECT_EQ(e.outcome, RunOutcome::kOk) << e.name;
    }
  }
  EXPECT_EQ(stages, (std::vector<std::string>{"wow64", "start message", "staging folder", "version",
                                              "stage 1", "stage 2", "stage 3", "stage 4", "stage 5",
                                              "stage 6", "store apps", "error log"}));
  // The fake clock moves only inside the collectors, so the stages cover the run exactly.
  EXPECT_EQ(sum, entries[0].ms);
  const RunEntry* tasks = Find(entries, "stage 5/scheduled tasks", RunEntryKind::kStep);
  ASSERT_NE(tasks, nullptr);
  EXPECT_EQ(tasks->ms, 10);
  // The held log, retried three times, is one note under its step.
  std::vector<RunEntry> notes;
  std::copy_if(entries.begin(), entries.end(), std::back_inserter(notes),
               [](const RunEntry& e) { return e.kind == RunEntryKind::kNote; });
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0].name, "stage 4/product logs");
  EXPECT_EQ(notes[0].outcome, RunOutcome::kSkipped);
  EXPECT_EQ(notes[0].count, 3);
  EXPECT_EQ(notes[0].detail, "C:\\PulseSync\\locked.log: held by another program");
}

TEST(CollectionRunLog, AFailureNamesItsStageAndStepWithItsReasonBesideTheMarker) {
  struct Case {
    const char* call;
    const char* stage;
    const char* step;
    const char* marker;
  };
  const Case cases[] = {
      {"date", "stage 1", "date", "!!Error:1!!"},
      {"processes", "stage 2", "process table", "!!Error:2!!"},
      {"bho", "stage 2", "browser helpers", "!!Error:2!!"},
      {"autoruns", "stage 3", "autoruns", "!!Error:3!!"},
      {"security", "stage 4", "security state", "!!Error:4!!"},
      {"logs", "stage 4", "product logs", "!!Error:4!!"},
      {"save C:\\Temp\\GetInfoDir\\uninstall.txt", "stage 4", "uninstall keys", "!!Error:4!!"},
      {"systeminfo", "stage 4", "systeminfo", "!!Error:4!!"},
      {"tasks", "stage 5", "scheduled tasks", "!!Error:5!!"},
      {"updater", "stage 6", "updater", "!!Error:6!!"},
  };
  for (const Case& k : cases) {
    FakeRun s;
    s.fail = {k.call};
    s.Run(kReport);
    EXPECT_EQ(s.saved[kStaging + "GetInfoLog.txt"], StringList{k.marker}) << k.call;
    const std::vector<RunEntry> entries = SavedRunLog(s);
    const RunEntry* stage = Find(entries, k.stage, RunEntryKind::kStage);
    const RunEntry* step = Find(entries, std::string(k.stage) + "/" + k.step, RunEntryKind::kStep);
    ASSERT_NE(stage, nullptr) << k.call;
    ASSERT_NE(step, nullptr) << k.call;
    EXPECT_EQ(stage->outcome, RunOutcome::kFailed) << k.call;
    EXPECT_EQ(stage->detail, k.call);
    EXPECT_EQ(step->outcome, RunOutcome::kFailed) << k.call;
    EXPECT_EQ(step->detail, k.call);
    // Only the failed stage says so.
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(),
                            [](const RunEntry& e) { return e.outcome == RunOutcome::kFailed; }),
              2)
        << k.call;
  }
  // The store-app stage has no marker; its failure is in the run log only.
  FakeRun store;
  store.store_fails = true;
  store.Run(kReport);
  EXPECT_TRUE(store.saved[kStaging + "GetInfoLog.txt"].empty());
  const std::vector<RunEntry> store_entries = SavedRunLog(store);
  const RunEntry* step = Find(store_entries, "store apps/store apps", RunEntryKind::kStep);
  ASSERT_NE(step, nullptr);
  EXPECT_EQ(step->detail, "store apps");
  // A missing staging folder in the temporary folder is noted where the fallback was taken.
  FakeRun no_temp;
  no_temp.fail = {"temp"};
  no_temp.Run(kReport);
  const StringList& lines = no_temp.saved["C:\\Tool\\GetInfoDir\\GetInfoRun.txt"];
  EXPECT_NE(std::find_if(lines.begin(), lines.end(),
                         [](const std::string& l) {
                           return l.find(
                                      "\tstaging folder\tfailed\t1\ttemporary folder: temp; "
                                      "the program's folder is used") != std::string::npos;
                         }),
            lines.end());
}

}  // namespace
}  // namespace kovra
