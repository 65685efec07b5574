#include "app/collection_pipeline.h"

#include <exception>
#include <string_view>

#include "base/report_file_names.h"
#include "base/text.h"

namespace kovra {

namespace {

// Thrown at the next step once the run is cancelled; no stage guard holds it.
struct RunCancelled : std::exception {
  const char* what() const noexcept override { return "the run was cancelled"; }
};

// Runs one guarded stage, recorded in the run log: any error appends the marker (when there is
// one) and the run goes on.
template <typename Body>
void Guard(RunLog& log, StringList& error_log, std::string_view stage, const char* marker,
           Body body) {
  try {
    log.Stage(stage, body);
  } catch (const RunCancelled&) {
    throw;
  } catch (...) {
    // Recorded by the stage with its reason.
    if (marker != nullptr)
      error_log.emplace_back(marker);
  }
}

// A step whose failure its stage survives; the failure is recorded by the step.
template <typename Body>
void ContainedStep(RunLog& log, std::string_view name, Body body) {
  try {
    log.Step(name, body);
  } catch (const RunCancelled&) {
    throw;
  } catch (...) {
  }
}

std::string PrepareStagingFolder(StagingFiles& s, RunLog& log) {
  try {
    const std::string folder = s.TempFolder() + "GetInfoDir\\";
    if (s.MakeStagingFolder(folder, log))
      return folder;
    log.Failed(folder, "cannot be created; the program's folder is used");
  } catch (...) {
    log.Failed("temporary folder", CaughtText() + "; the program's folder is used");
  }
  const std::string fallback = s.ExeFolder() + "GetInfoDir\\";
  try {
    if (!s.MakeStagingFolder(fallback, log))
      log.Failed(fallback, "cannot be created either");
  } catch (...) {
    log.Failed(fallback, CaughtText());
  }
  return fallback;
}

}  // namespace

void ExecuteCollection(RunProgress& progress, StagingFiles& files, const RunCollectors& c,
                       RunLog& log, const std::string& report_path,
                       const DiscoveredProduct& discovered_at_start) {
  int step = 0;
  auto check_cancel = [&] {
    if (progress.Cancelled())
      throw RunCancelled{};
  };
  auto next_step = [&] {
    check_cancel();
    progress.PostStep(++step);
  };
  // The run survives anything here; the stages record what failed.
  try {
    log.Stage("wow64", [&] { c.init_wow64_redirection(); });
  } catch (...) {
  }
  try {
    log.Stage("start message", [&] { progress.SendStart(kAnnouncedSteps); });
  } catch (...) {
  }

  std::string staging;
  try {
    log.Stage("staging folder", [&] { staging = PrepareStagingFolder(files, log); });
    StringList info;
    StringList error_log;
    std::unique_ptr<UpdaterCollector> updater;
    std::unique_ptr<StartedCapture> system_info;
    StringList* archive_list = nullptr;
    // What the run's own product-folder discovery finds (stage 4), for the steps after it.
    DiscoveredProduct product;
    try {
      log.Stage("version", [&] { info.push_back("Version:" + c.file_version_text()); });

      Guard(log, error_log, "stage 1", "!!Error:1!!",
            [&] { log.Step("date", [&] { info.push_back("Date:" + c.date_time_text()); }); });

      Guard(log, error_log, "stage 2", "!!Error:2!!", [&] {
        log.Step("os summary", [&] { AppendList(info, c.os_summary()); });
        next_step();
        log.Step("product summary",
                 [&] { AppendList(info, c.product_summary(discovered_at_start.digits)); });
        next_step();
        info.push_back(StarRule());
        log.Step("process table", [&] { AppendList(info, c.process_table()); });
        next_step();
        // systeminfo takes seconds; it runs while the stages up to its own work. Started after
        // the process table, so that the table does not show it.
        ContainedStep(log, "start systeminfo", [&] { system_info = c.start_system_info(staging); });
        log.Step("services and drivers", [&] { c.services_and_drivers(info); });
        next_step();
        log.Step("browser helpers", [&] {
          StringList bhos = c.browser_helper_objects();
          info.push_back(StarRule());
          AppendList(info, bhos);
        });
        next_step();
      });

      Guard(log, error_log, "stage 3", "!!Error:3!!",
            [&] { log.Step("autoruns", [&] { AppendList(info, c.autoruns()); }); });

      Guard(log, error_log, "stage 4", "!!Error:4!!", [&] {
        info.push_back(StarRule());
        log.Step("security state", [&] { c.security_state(info); });
        next_step();
        log.Step("product folder", [&] { product = c.discover_product_folder(); });
        log.Step("product files", [&] { c.product_files(product, info); });
        next_step();
        log.Step(report_files::kMainInfo,
                 [&] { files.SaveList(info, staging + report_files::kMainInfo); });
        log.Step("uninstall keys", [&] {
          info.clear();
          info.push_back("Windows Registry Editor Version 5.00");
          c.uninstall_keys(info);
          files.SaveList(info, staging + report_files::kUninstall);
        });
        next_step();
        log.Step("services tree", [&] {
          info.clear();
          c.services_tree(info);
          files.SaveList(info, staging + report_files::kServices);
        });
        next_step();
        log.Step("product logs", [&] { c.product_logs(product, staging); });
        next_step();
        log.Step("systeminfo", [&] {
          if (system_info == nullptr)
            system_info = c.start_system_info(staging);
          const StringList system_info_lines = system_info ? system_info->Collect() : StringList{};
          system_info.reset();
          files.SaveList(system_info_lines, staging + report_files::kSystemInfo);
        });
        next_step();
      });

      check_cancel();
      Guard(log, error_log, "stage 5", "!!Error:5!!", [&] {
        log.Step("scheduled tasks",
                 [&] { c.scheduled_tasks(staging + report_files::kTasks, staging); });
      });
      check_cancel();

      Guard(log, error_log, "stage 6", "!!Error:6!!", [&] {
        log.Step("updater", [&] { updater = c.updater(staging); });
        if (updater == nullptr)
          return;
        archive_list = &updater->ArchiveList();
        next_step();
        archive_list->push_back(staging + "*.*");
      });

      Guard(log, error_log, "store apps", nullptr, [&] {
        log.Step("store apps", [&] {
          StoreAppCollector* metro = c.store_apps();
          if (metro == nullptr)
            return;
          if (!metro->StartGetMetroInfo())
            return;
          if (archive_list != nullptr)
            archive_list->push_back(metro->LogPath());
        });
      });

      check_cancel();
      Guard(log, error_log, "error log", nullptr, [&] {
        files.SaveList(error_log, staging + report_files::kErrorLog);
        if (files.FileExists(report_path))
          files.ClearName(report_path, log);
      });
      // The run log last, so that it holds every stage up to packing. A failed save has no
      // place left to be recorded; the report is still packed.
      try {
        files.SaveList(RunLogLines(log.Entries()), staging + kRunLogFileName);
      } catch (...) {
      }

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
        // Nothing is packed after a cancelled run; what stays is what the next run replaces.
      }
    } catch (...) {
      // An error outside the guards ends the collection early (the version stage recorded its
      // reason); the clean-up below still runs.
    }
    files.RemoveFolder(staging);
  } catch (...) {
    // The staging folder's removal failed; the done message still goes out.
  }
  try {
    progress.SendDone();
  } catch (...) {
  }
}

}  // namespace kovra
