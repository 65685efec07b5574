// The worker thread of a run: the collection stages of ExecuteCollection bound to the real
// platform and collectors.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "app/collection_pipeline.h"

namespace kovra::win {

class TLPSWGetInfo;
class TGetMetroInfo;

// The progress message of the main window; the word parameter is the code.
constexpr UINT kProgressMessage = WM_APP + 0x200;
enum ProgressCode : WPARAM { kProgressStart = 0, kProgressStep = 1, kProgressDone = 2 };

class TGenInfoThread final : public CollectionStages {
 public:
  // Starts the worker for one run. The thread object lives until the process ends (the
  // window ends the process while handling the done message).
  static bool Start(HWND window, const std::string& report_path);

  ~TGenInfoThread() override;

  void SendStart(int steps) override;
  void PostStep(int step) override;
  void SendDone() override;
  void InitWow64Redirection() override;
  std::string TempFolder() override;
  std::string ExeFolder() override;
  bool DirectoryExists(const std::string& path) override;
  bool FileExists(const std::string& path) override;
  void ForceDirectories(const std::string& path) override;
  bool RemoveFolder(const std::string& path) override;
  void DeleteFile(const std::string& path) override;
  void SaveList(const StringList& list, const std::string& path) override;
  std::string FileVersionText() override;
  std::string DateTimeText() override;
  StringList CollectOSSummary() override;
  StringList CollectProductSummary() override;
  std::string CollectProcessTable() override;
  void ListServicesAndDrivers(StringList& out) override;
  StringList ListBrowserHelperObjects() override;
  StringList ListAutoruns() override;
  void ListSecurityState(StringList& out) override;
  void DiscoverProductFolder() override;
  void ListProductFiles(StringList& out) override;
  void ExportUninstallKeys(StringList& out) override;
  void ExportServicesTree(StringList& out) override;
  void CollectProductLogs(const std::string& staging_folder) override;
  StringList CaptureSystemInfo() override;
  void SaveScheduledTasks(const std::string& path) override;
  ArchiveListOwner* CreateUpdaterCollector() override;
  void ReleaseUpdaterCollector() override;
  StoreAppLog* CreateStoreAppCollector() override;
  void PackReport(const StringList* archive_list, const std::string& staging_folder,
                  const std::string& report_path) override;

 private:
  TGenInfoThread(HWND window, std::string report_path);
  static DWORD WINAPI ThreadMain(void* self);

  HWND window_;
  std::string report_path_;
  std::unique_ptr<TLPSWGetInfo> updater_;
  std::unique_ptr<TGetMetroInfo> metro_;
};

// The "Date:" value in the user's regional short date and long time formats.
std::string LocalDateTimeText();
// Today's date as "yyyymmdd", or "0".
std::string TodayYmd();

}  // namespace kovra::win
