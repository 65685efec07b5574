#include "app/collection_pipeline.h"

#include "base/text.h"

namespace kovra {

namespace {

// Thrown at the next step once the run is cancelled; no stage guard holds it.
struct RunCancelled {};

// Runs one guarded stage: any error appends the marker (when there is one) and the run goes on.
template <typename Body>
void Guard(StringList& error_log, const char* marker, Body body) {
  try {
    body();
  } catch (const RunCancelled&) {
    throw;
  } catch (...) {
    if (marker != nullptr)
      error_log.emplace_back(marker);
  }
}

std::string PrepareStagingFolder(StagingFiles& s) {
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

void ExecuteCollection(RunProgress& progress, StagingFiles& files, const RunCollectors& c,
                       const std::string& report_path) {
  int step = 0;
  auto check_cancel = [&] {
    if (progress.Cancelled())
      throw RunCancelled{};
  };
  auto next_step = [&] {
    check_cancel();
    progress.PostStep(++step);
  };
  try {
    c.init_wow64_redirection();
  } catch (...) {
  }
  try {
    progress.SendStart(kAnnouncedSteps);
  } catch (...) {
  }

  std::string staging;
  try {
    staging = PrepareStagingFolder(files);
    StringList info;
    StringList error_log;
    std::unique_ptr<UpdaterCollector> updater;
    std::unique_ptr<StartedCapture> system_info;
    StringList* archive_list = nullptr;
    try {
      info.push_back("Version:" + c.file_version_text());

      Guard(error_log, "!!Error:1!!", [&] { info.push_back("Date:" + c.date_time_text()); });

      Guard(error_log, "!!Error:2!!", [&] {
        AppendList(info, c.os_summary());
        next_step();
        AppendList(info, c.product_summary());
        next_step();
        info.push_back(StarRule());
        info.push_back(c.process_table());
        next_step();
        // systeminfo takes seconds; it runs while the stages up to its own work. Started after
        // the process table, so that the table does not show it.
        Guard(error_log, nullptr, [&] { system_info = c.start_system_info(); });
        c.services_and_drivers(info);
        next_step();
        StringList bhos = c.browser_helper_objects();
        info.push_back(StarRule());
        AppendList(info, bhos);
        next_step();
      });

      Guard(error_log, "!!Error:3!!", [&] { AppendList(info, c.autoruns()); });

      Guard(error_log, "!!Error:4!!", [&] {
        info.push_back(StarRule());
        c.security_state(info);
        next_step();
        c.discover_product_folder();
        c.product_files(info);
        next_step();
        files.SaveList(info, staging + "Kovra_Debug_Info.txt");
        info.clear();
        info.push_back("Windows Registry Editor Version 5.00");
        c.uninstall_keys(info);
        files.SaveList(info, staging + "uninstall.txt");
        next_step();
        info.clear();
        c.services_tree(info);
        files.SaveList(info, staging + "services.txt");
        next_step();
        c.product_logs(staging);
        next_step();
        if (system_info == nullptr)
          system_info = c.start_system_info();
        const StringList system_info_lines = system_info ? system_info->Collect() : StringList{};
        system_info.reset();
        files.SaveList(system_info_lines, staging + "SystemInfo.txt");
        next_step();
      });

      check_cancel();
      Guard(error_log, "!!Error:5!!", [&] { c.scheduled_tasks(staging + "task.txt"); });
      check_cancel();

      Guard(error_log, "!!Error:6!!", [&] {
        updater = c.updater();
        if (updater == nullptr)
          return;
        archive_list = &updater->ArchiveList();
        next_step();
        archive_list->push_back(staging + "*.*");
      });

      Guard(error_log, nullptr, [&] {
        StoreAppCollector* metro = c.store_apps();
        if (metro == nullptr)
          return;
        if (!metro->StartGetMetroInfo())
          return;
        if (archive_list != nullptr)
          archive_list->push_back(metro->LogPath());
      });

      check_cancel();
      Guard(error_log, nullptr, [&] {
        files.SaveList(error_log, staging + "GetInfoLog.txt");
        if (files.FileExists(report_path))
          files.RemoveFile(report_path);
      });

      check_cancel();
      c.pack_report(archive_list, staging, report_path);
      next_step();
      archive_list = nullptr;
      updater.reset();
    } catch (const RunCancelled&) {
      // Closed by the user: no report; this run's temporary files go with the staging folder.
      updater.reset();
      system_info.reset();
      try {
        if (c.discard_temporary_files)
          c.discard_temporary_files();
      } catch (...) {
      }
    } catch (...) {
      // An error outside the guards ends the collection early; the clean-up below still runs.
    }
    files.RemoveFolder(staging);
  } catch (...) {
  }
  try {
    progress.SendDone();
  } catch (...) {
  }
}

}  // namespace kovra
