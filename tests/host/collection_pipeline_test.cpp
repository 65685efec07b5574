#include "app/collection_pipeline.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <stdexcept>

namespace kovra {
namespace {

class FakeUpdater : public ArchiveListOwner {
 public:
  StringList& ArchiveList() override { return list; }
  StringList list{"C:\\ProgramData\\Updater\\log.txt", ""};
};

class FakeStoreApps : public StoreAppLog {
 public:
  bool StartGetMetroInfo() override {
    if (fail)
      throw std::runtime_error("store apps");
    return true;
  }
  std::string LogPath() const override { return "C:\\Temp\\metrologinfo.txt"; }
  bool fail = false;
};

// Records what the run does; `fail` names the calls that throw.
class FakeStages : public CollectionStages {
 public:
  std::vector<std::string> events;
  std::set<std::string> fail;
  std::map<std::string, StringList> saved;
  std::set<std::string> dirs{"C:\\Temp\\"};
  std::set<std::string> files;
  bool no_updater = false;
  FakeUpdater updater;
  FakeStoreApps store;
  StringList packed_list;
  bool packed_with_list = false;

  void Maybe(const std::string& what) {
    if (fail.count(what))
      throw std::runtime_error(what);
  }
  void SendStart(int steps) override { events.push_back("start " + std::to_string(steps)); }
  void PostStep(int step) override { events.push_back("step " + std::to_string(step)); }
  void SendDone() override { events.push_back("done"); }
  void InitWow64Redirection() override { events.push_back("wow64"); }
  std::string TempFolder() override {
    Maybe("temp");
    return "C:\\Temp\\";
  }
  std::string ExeFolder() override { return "C:\\Tool\\"; }
  bool DirectoryExists(const std::string& p) override { return dirs.count(p) > 0; }
  bool FileExists(const std::string& p) override { return files.count(p) > 0; }
  void ForceDirectories(const std::string& p) override {
    if (!fail.count("mkdir"))
      dirs.insert(p);
  }
  bool RemoveFolder(const std::string& p) override {
    events.push_back("remove " + p);
    dirs.erase(p);
    return true;
  }
  void DeleteFile(const std::string& p) override {
    events.push_back("delete " + p);
    files.erase(p);
  }
  void SaveList(const StringList& list, const std::string& path) override {
    Maybe("save " + path);
    events.push_back("save " + path);
    saved[path] = list;
  }
  std::string FileVersionText() override {
    Maybe("version");
    return "1.0.0.0";
  }
  std::string DateTimeText() override {
    Maybe("date");
    return "09.12.2026 07:31:47";
  }
  StringList CollectOSSummary() override {
    Maybe("os");
    return {"os"};
  }
  StringList CollectProductSummary() override {
    Maybe("product");
    return {"product"};
  }
  std::string CollectProcessTable() override {
    Maybe("processes");
    return "processes";
  }
  void ListServicesAndDrivers(StringList& out) override {
    Maybe("services");
    out.push_back("services");
  }
  StringList ListBrowserHelperObjects() override {
    Maybe("bho");
    return {"bho"};
  }
  StringList ListAutoruns() override {
    Maybe("autoruns");
    return {"autoruns"};
  }
  void ListSecurityState(StringList& out) override {
    Maybe("security");
    out.push_back("security");
  }
  void DiscoverProductFolder() override { Maybe("discover"); }
  void ListProductFiles(StringList& out) override {
    Maybe("files");
    out.push_back("files");
  }
  void ExportUninstallKeys(StringList& out) override {
    Maybe("uninstall");
    out.push_back("uninstall");
  }
  void ExportServicesTree(StringList& out) override {
    Maybe("servicetree");
    out.push_back("servicetree");
  }
  void CollectProductLogs(const std::string& staging) override {
    Maybe("logs");
    events.push_back("logs " + staging);
  }
  StringList CaptureSystemInfo() override {
    Maybe("systeminfo");
    return {"systeminfo"};
  }
  void SaveScheduledTasks(const std::string& path) override {
    Maybe("tasks");
    events.push_back("tasks " + path);
  }
  ArchiveListOwner* CreateUpdaterCollector() override {
    Maybe("updater");
    return no_updater ? nullptr : &updater;
  }
  void ReleaseUpdaterCollector() override { events.push_back("release updater"); }
  StoreAppLog* CreateStoreAppCollector() override { return &store; }
  void PackReport(const StringList* list, const std::string& staging,
                  const std::string& report) override {
    Maybe("pack");
    packed_with_list = list != nullptr;
    if (list)
      packed_list = *list;
    events.push_back("pack " + staging + " " + report);
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
  FakeStages s;
  s.files.insert(kReport);
  ExecuteCollection(s, kReport);

  const std::vector<std::string> expected = {
      "wow64",
      "start 15",
      "step 1",
      "step 2",
      "step 3",
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
      "save " + kStaging + "SystemInfo.txt",
      "step 11",
      "tasks " + kStaging + "task.txt",
      "step 12",
      "save " + kStaging + "GetInfoLog.txt",
      "delete " + kReport,
      "pack " + kStaging + " " + kReport,
      "step 13",
      "release updater",
      "remove " + kStaging,
      "done",
  };
  EXPECT_EQ(s.events, expected);
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

TEST(CollectionRun, LeftoverStagingFolderIsRemovedAndRecreated) {
  FakeStages s;
  s.dirs.insert(kStaging);
  ExecuteCollection(s, kReport);
  ASSERT_GE(s.events.size(), 3u);
  EXPECT_EQ(s.events[2], "remove " + kStaging);
  EXPECT_EQ(s.saved.count(kStaging + "Kovra_Debug_Info.txt"), 1u);
}

TEST(CollectionRun, FailingGuardsLeaveTheirMarkersInOrder) {
  FakeStages s;
  s.fail = {"os", "autoruns", "security"};
  ExecuteCollection(s, kReport);
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
    FakeStages s;
    s.fail = {call};
    ExecuteCollection(s, kReport);
    EXPECT_EQ(s.saved[kStaging + "GetInfoLog.txt"], StringList{marker}) << call;
  }
}

TEST(CollectionRun, LaterStageFailureKeepsEarlierFiles) {
  FakeStages s;
  s.fail = {"logs"};
  ExecuteCollection(s, kReport);
  EXPECT_EQ(s.saved.count(kStaging + "services.txt"), 1u);
  EXPECT_EQ(s.saved.count(kStaging + "SystemInfo.txt"), 0u);
  EXPECT_EQ(s.Steps(), (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
}

TEST(CollectionRun, NoUpdaterMeansNoArchiveList) {
  FakeStages s;
  s.fail = {"updater"};
  ExecuteCollection(s, kReport);
  EXPECT_FALSE(s.packed_with_list);
  EXPECT_EQ(s.events.back(), "done");
  EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "release updater"), 0);

  FakeStages absent;
  absent.no_updater = true;
  ExecuteCollection(absent, kReport);
  EXPECT_FALSE(absent.packed_with_list);
  EXPECT_TRUE(absent.saved[kStaging + "GetInfoLog.txt"].empty());
}

TEST(CollectionRun, FailingStoreAppCollectorAddsNoEntry) {
  FakeStages s;
  s.store.fail = true;
  ExecuteCollection(s, kReport);
  EXPECT_EQ(s.packed_list, (StringList{"C:\\ProgramData\\Updater\\log.txt", "", kStaging + "*.*"}));
  EXPECT_TRUE(s.saved[kStaging + "GetInfoLog.txt"].empty());
}

TEST(CollectionRun, ErrorOutsideTheGuardsStillCleansUpAndSendsDone) {
  for (const char* call : {"version", "pack"}) {
    FakeStages s;
    s.fail = {call};
    ExecuteCollection(s, kReport);
    ASSERT_GE(s.events.size(), 2u) << call;
    EXPECT_EQ(s.events[s.events.size() - 2], "remove " + kStaging) << call;
    EXPECT_EQ(s.events.back(), "done") << call;
  }
}

TEST(CollectionRun, FailedErrorLogSaveSkipsTheOldReportDeletion) {
  FakeStages s;
  s.files.insert(kReport);
  s.fail = {"save " + kStaging + "GetInfoLog.txt"};
  ExecuteCollection(s, kReport);
  EXPECT_EQ(std::count(s.events.begin(), s.events.end(), "delete " + kReport), 0);
  EXPECT_EQ(s.events.back(), "done");
}

TEST(CollectionRun, StagingFolderFallsBackToTheExecutablesFolder) {
  FakeStages cannot_create;
  cannot_create.fail = {"mkdir"};
  ExecuteCollection(cannot_create, kReport);
  EXPECT_EQ(cannot_create.events.back(), "done");
  EXPECT_EQ(cannot_create.saved.count("C:\\Tool\\GetInfoDir\\Kovra_Debug_Info.txt"), 1u);

  FakeStages no_temp;
  no_temp.fail = {"temp"};
  ExecuteCollection(no_temp, kReport);
  EXPECT_EQ(no_temp.saved.count("C:\\Tool\\GetInfoDir\\GetInfoLog.txt"), 1u);
}

}  // namespace
}  // namespace kovra
