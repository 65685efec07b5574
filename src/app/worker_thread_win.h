// The worker thread of a run: the collection sequence of ExecuteCollection bound to the main
// window, the file system and the collectors.
#pragma once

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

#include "app/collection_pipeline.h"
#include "collectors/product/product_names.h"
#include "platform/cancellation.h"
#include "platform/path_frame_win.h"
#include "platform/staging_folder_win.h"

namespace kovra::win {

// The progress message of the main window; the word parameter is the code.
constexpr UINT kProgressMessage = WM_APP + 0x200;
enum ProgressCode : WPARAM { kProgressStart = 0, kProgressStep = 1, kProgressDone = 2 };

class TGenInfoThread final : public RunProgress, public StagingFiles {
 public:
  // Starts the worker for one run. The thread object lives until the process ends (the
  // window ends the process while handling the done message). The window owns `cancellation`
  // and outlives the thread. `discovered_at_start` is the window's product-folder discovery,
  // copied for the run (see ExecuteCollection).
  [[nodiscard]] static bool Start(HWND window, const std::string& report_path,
                                  const DiscoveredProduct& discovered_at_start,
                                  const RunCancellation& cancellation);

  ~TGenInfoThread() override;

  void SendStart(int steps) override;
  void PostStep(int step) override;
  void SendDone() override;
  bool Cancelled() override;

  std::string TempFolder() override;
  std::string ExeFolder() override;
  bool FileExists(const std::string& path) override;
  bool MakeStagingFolder(const std::string& folder, RunLog& log) override;
  bool RemoveFolder(const std::string& path) override;
  void ClearName(const std::string& path, RunLog& log) override;
  void SaveList(const StringList& list, const std::string& path) override;

 private:
  TGenInfoThread(HWND window, std::string report_path, const DiscoveredProduct& discovered_at_start,
                 const RunCancellation& cancellation);
  static DWORD WINAPI ThreadMain(void* self);
  // The real collectors, reporting to the run log and taking their folders from `frame`; the
  // store-app collector is kept in `store_apps_`.
  RunCollectors Collectors(const TAppFrame& frame, RunLog& log);

  HWND window_;
  std::string report_path_;
  const DiscoveredProduct discovered_at_start_;
  const RunCancellation& cancellation_;
  std::unique_ptr<StoreAppCollector> store_apps_;
  // The run's staging folder, held from its making until its removal.
  std::optional<StagingFolder> staging_;
};

}  // namespace kovra::win
