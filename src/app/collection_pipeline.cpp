#include "app/collection_pipeline.h"

#include "base/text.h"

namespace kovra {

namespace {

// Runs one guarded stage: any error appends the marker (when there is one) and the run goes on.
template <typename Body>
void Guard(StringList& error_log, const char* marker, Body body) {
  try {
    body();
  } catch (...) {
    if (marker != nullptr)
      error_log.emplace_back(marker);
  }
}

std::string PrepareStagingFolder(CollectionStages& s) {
  try {
    std::string folder = s.TempFolder() + "GetInfoDir\\";
    if (s.DirectoryExists(folder))
      s.RemoveFolder(folder);
    if (!s.DirectoryExists(folder))
      s.ForceDirectories(folder);
    if (!s.DirectoryExists(folder))
      folder = s.ExeFolder() + "GetInfoDir\\";
    return IncludeTrailingBackslash(folder);
  } catch (...) {
    return s.ExeFolder() + "GetInfoDir\\";
  }
}

}  // namespace

void ExecuteCollection(CollectionStages& s, const std::string& report_path) {
  int step = 0;
  auto next_step = [&] { s.PostStep(++step); };
  try {
    s.InitWow64Redirection();
  } catch (...) {
  }
  try {
    s.SendStart(kAnnouncedSteps);
  } catch (...) {
  }

  std::string staging;
  try {
    staging = PrepareStagingFolder(s);
    StringList info;
    StringList error_log;
    ArchiveListOwner* updater = nullptr;
    StringList* archive_list = nullptr;
    try {
      info.push_back("Version:" + s.FileVersionText());

      Guard(error_log, "!!Error:1!!", [&] { info.push_back("Date:" + s.DateTimeText()); });

      Guard(error_log, "!!Error:2!!", [&] {
        AppendList(info, s.CollectOSSummary());
        next_step();
        AppendList(info, s.CollectProductSummary());
        next_step();
        std::string table = s.CollectProcessTable();
        info.push_back(StarRule());
        info.push_back(std::move(table));
        next_step();
        s.ListServicesAndDrivers(info);
        next_step();
        StringList bhos = s.ListBrowserHelperObjects();
        info.push_back(StarRule());
        AppendList(info, bhos);
        next_step();
      });

      Guard(error_log, "!!Error:3!!", [&] { AppendList(info, s.ListAutoruns()); });

      Guard(error_log, "!!Error:4!!", [&] {
        info.push_back(StarRule());
        s.ListSecurityState(info);
        next_step();
        s.DiscoverProductFolder();
        s.ListProductFiles(info);
        next_step();
        s.SaveList(info, staging + "Kovra_Debug_Info.txt");
        info.clear();
        info.push_back("Windows Registry Editor Version 5.00");
        s.ExportUninstallKeys(info);
        s.SaveList(info, staging + "uninstall.txt");
        next_step();
        info.clear();
        s.ExportServicesTree(info);
        s.SaveList(info, staging + "services.txt");
        next_step();
        s.CollectProductLogs(staging);
        next_step();
        StringList system_info = s.CaptureSystemInfo();
        s.SaveList(system_info, staging + "SystemInfo.txt");
        next_step();
      });

      Guard(error_log, "!!Error:5!!", [&] { s.SaveScheduledTasks(staging + "task.txt"); });

      Guard(error_log, "!!Error:6!!", [&] {
        updater = s.CreateUpdaterCollector();
        if (updater == nullptr)
          return;
        archive_list = &updater->ArchiveList();
        next_step();
        archive_list->push_back(staging + "*.*");
      });

      Guard(error_log, nullptr, [&] {
        StoreAppLog* metro = s.CreateStoreAppCollector();
        if (metro == nullptr)
          return;
        if (!metro->StartGetMetroInfo())
          return;
        if (archive_list != nullptr)
          archive_list->push_back(metro->LogPath());
      });

      Guard(error_log, nullptr, [&] {
        s.SaveList(error_log, staging + "GetInfoLog.txt");
        if (s.FileExists(report_path))
          s.DeleteFile(report_path);
      });

      s.PackReport(archive_list, staging, report_path);
      next_step();
      if (updater != nullptr)
        s.ReleaseUpdaterCollector();
    } catch (...) {
      // An error outside the guards ends the collection early; the clean-up below still runs.
    }
    s.RemoveFolder(staging);
  } catch (...) {
  }
  try {
    s.SendDone();
  } catch (...) {
  }
}

}  // namespace kovra
