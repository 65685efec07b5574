// The fixed sequence of guarded collection stages that one run goes through. The sequence is
// portable; the Windows worker thread supplies the stages, tests supply fakes.
#pragma once

#include <string>

#include "base/string_list.h"

namespace kovra {

// Number of progress steps announced to the window at the start.
constexpr int kAnnouncedSteps = 15;

// The collector that gathers the updater product's files; it owns the archive list.
class ArchiveListOwner {
 public:
  virtual ~ArchiveListOwner() = default;
  virtual StringList& ArchiveList() = 0;
};

// The store-app collector: writes its log and names it.
class StoreAppLog {
 public:
  virtual ~StoreAppLog() = default;
  // False when the log could not be written.
  virtual bool StartGetMetroInfo() = 0;
  virtual std::string LogPath() const = 0;
};

// Everything the run needs from the platform and the collectors. Collector calls may throw;
// the run contains every error.
class CollectionStages {
 public:
  virtual ~CollectionStages() = default;

  // Progress message to the main window: code 0 and 2 wait for the window, code 1 does not.
  virtual void SendStart(int steps) = 0;
  virtual void PostStep(int step) = 0;
  virtual void SendDone() = 0;

  virtual void InitWow64Redirection() = 0;

  // Folders and files. Paths of folders end with a backslash.
  virtual std::string TempFolder() = 0;
  virtual std::string ExeFolder() = 0;
  virtual bool DirectoryExists(const std::string& path) = 0;
  virtual bool FileExists(const std::string& path) = 0;
  virtual void ForceDirectories(const std::string& path) = 0;
  virtual bool RemoveFolder(const std::string& path) = 0;
  virtual void DeleteFile(const std::string& path) = 0;
  virtual void SaveList(const StringList& list, const std::string& path) = 0;

  virtual std::string FileVersionText() = 0;
  virtual std::string DateTimeText() = 0;

  // Collectors, in the order the run calls them.
  virtual StringList CollectOSSummary() = 0;
  virtual StringList CollectProductSummary() = 0;
  virtual std::string CollectProcessTable() = 0;
  virtual void ListServicesAndDrivers(StringList& out) = 0;
  virtual StringList ListBrowserHelperObjects() = 0;
  virtual StringList ListAutoruns() = 0;
  virtual void ListSecurityState(StringList& out) = 0;
  virtual void DiscoverProductFolder() = 0;
  virtual void ListProductFiles(StringList& out) = 0;
  virtual void ExportUninstallKeys(StringList& out) = 0;
  virtual void ExportServicesTree(StringList& out) = 0;
  virtual void CollectProductLogs(const std::string& staging_folder) = 0;
  virtual StringList CaptureSystemInfo() = 0;
  virtual void SaveScheduledTasks(const std::string& path) = 0;

  // The updater collector does its whole work when created; nullptr when the product has none.
  // It stays owned by the stages object until ReleaseUpdaterCollector.
  virtual ArchiveListOwner* CreateUpdaterCollector() = 0;
  virtual void ReleaseUpdaterCollector() = 0;
  // Kept by the stages object until the process ends.
  virtual StoreAppLog* CreateStoreAppCollector() = 0;

  virtual void PackReport(const StringList* archive_list, const std::string& staging_folder,
                          const std::string& report_path) = 0;
};

// Runs the whole collection once and always ends with SendDone. Never throws.
void ExecuteCollection(CollectionStages& stages, const std::string& report_path);

}  // namespace kovra
