// The fixed sequence of guarded collection stages that one run goes through. The sequence is
// portable; the Windows worker thread binds it to the window, the file system and the
// collectors, tests bind it to fakes.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/report_file_names.h"
#include "base/run_log.h"
#include "base/string_list.h"
#include "collectors/product/product_names.h"
#include "collectors/product/updater.h"
#include "collectors/system/store_apps.h"

namespace kovra {

// Number of progress steps announced to the window at the start.
constexpr int kAnnouncedSteps = 15;

// The progress message to the main window: start and done wait for the window, a step does not.
class RunProgress {
 public:
  virtual ~RunProgress() = default;
  virtual void SendStart(int steps) = 0;
  virtual void PostStep(int step) = 0;
  virtual void SendDone() = 0;
  // True once the user closed the window: the run ends at its next step, packs nothing and
  // removes what it wrote.
  virtual bool Cancelled() { return false; }
};

// The folders and files the run itself handles. Paths of folders end with a backslash.
class StagingFiles {
 public:
  virtual ~StagingFiles() = default;
  virtual std::string TempFolder() = 0;
  virtual std::string ExeFolder() = 0;
  virtual bool FileExists(const std::string& path) = 0;
  // Makes the staging folder fresh: what stands at its name goes without any link being
  // followed, the folder is created new (writable by administrators only) and held until
  // RemoveFolder. False when it cannot be made so; the reason is in `log`.
  [[nodiscard]] virtual bool MakeStagingFolder(const std::string& folder, RunLog& log) = 0;
  [[nodiscard]] virtual bool RemoveFolder(const std::string& path) = 0;
  // Frees a name the run is about to write: a link planted there is removed (never followed)
  // and noted in `log`, an earlier file of the name deleted.
  virtual void ClearName(const std::string& path, RunLog& log) = 0;
  // Saves a list as UTF-16 LE with byte-order mark and CR LF after every entry.
  virtual void SaveList(const StringList& list, const std::string& path) = 0;
};

// A program started ahead of the stage that collects its output, so that it runs while other
// stages work. Dropping it without collecting ends the program and removes what it wrote.
class StartedCapture {
 public:
  virtual ~StartedCapture() = default;
  virtual StringList Collect() = 0;
};

// The collectors and texts of a run, in the order the run calls them. Any of them may throw;
// the run contains every error and records it in the run log. Collectors that catch a failure
// themselves and go on report it through the run log the caller binds them to.
struct RunCollectors {
  std::function<void()> init_wow64_redirection;
  std::function<std::string()> file_version_text;
  std::function<std::string()> date_time_text;
  std::function<StringList()> os_summary;
  std::function<StringList(const GenerationDigits&)> product_summary;
  std::function<StringList()> process_table;
  std::function<void(StringList&)> services_and_drivers;
  std::function<StringList()> browser_helper_objects;
  std::function<StringList()> autoruns;
  std::function<void(StringList&)> security_state;
  std::function<DiscoveredProduct()> discover_product_folder;
  std::function<void(const DiscoveredProduct&, StringList&)> product_files;
  std::function<void(StringList&)> uninstall_keys;
  std::function<void(StringList&)> services_tree;
  std::function<void(const DiscoveredProduct&, const std::string& staging_folder)> product_logs;
  // Starts systeminfo (writing into the staging folder); the run starts it after the process
  // table and collects it at its stage.
  std::function<std::unique_ptr<StartedCapture>(const std::string& staging_folder)>
      start_system_info;
  std::function<void(const std::string& path, const std::string& staging_folder)> scheduled_tasks;
  // Does the updater collector's whole work; the run holds it until after packing.
  std::function<std::unique_ptr<UpdaterCollector>(const std::string& staging_folder)> updater;
  // The store-app collector, kept by the caller until the process ends.
  std::function<StoreAppCollector*()> store_apps;
  // Removes the files a run writes into the temporary folder (for a cancelled run).
  std::function<void()> discard_temporary_files;
  // Packs by the archive list (nullptr: there is none) into the report path.
  std::function<void(const StringList* archive_list, const std::string& staging_folder,
                     const std::string& report_path)>
      pack_report;
};

// The run log's staging file, saved after GetInfoLog.txt and packed with the other files.
inline constexpr const char* kRunLogFileName = report_files::kRunLog;

// Runs the whole collection once and always ends with SendDone. Never throws. Every stage and
// step goes into `log` with its duration and outcome (a failure with its reason); the markers
// of GetInfoLog.txt stay as they are. The product summary reads the digits of
// `discovered_at_start` (the discovery made before the run); the run's own discovery in stage 4
// gives the product to the inventory and the log collection.
void ExecuteCollection(RunProgress& progress, StagingFiles& files, const RunCollectors& collectors,
                       RunLog& log, const std::string& report_path,
                       const DiscoveredProduct& discovered_at_start);

}  // namespace kovra
