#include "app/worker_thread_win.h"

#include <memory>

#include "app/pack_report_win.h"
#include "base/text.h"
#include "collectors/product/product_files_win.h"
#include "collectors/product/product_summary_win.h"
#include "collectors/common/registry_export_win.h"
#include "collectors/product/uninstall_keys_win.h"
#include "collectors/product/updater_win.h"
#include "collectors/system/autoruns_win.h"
#include "collectors/system/os_summary_win.h"
#include "collectors/system/process_table_win.h"
#include "collectors/system/security_state_win.h"
#include "collectors/system/services_win.h"
#include "collectors/system/scheduled_tasks_win.h"
#include "collectors/system/store_apps_win.h"
#include "collectors/system/system_info_win.h"
#include "platform/elapsed_clock_win.h"
#include "platform/files_info_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/local_time_win.h"
#include "platform/planted_names_win.h"
#include "platform/user_domain_win.h"
#include "platform/wow64_win.h"

namespace kovra::win {

namespace {

// The files a run writes into the temporary folder, beside the staging folder: each collector
// that writes there deletes its own.
void DiscardTemporaryFiles() {
  const std::string temp = TempFolder();
  DiscardUpdaterFiles(temp);
  DiscardStoreAppLog(temp);
}

class StartedSystemInfo : public StartedCapture {
 public:
  StartedSystemInfo(const std::string& staging_folder, RunLog& log, const RunCancellation& cancel)
      : log_(log), capture_(staging_folder, cancel) {}
  StringList Collect() override { return capture_.Collect(log_); }

 private:
  RunLog& log_;
  SystemInfoCapture capture_;
};

}  // namespace

TGenInfoThread::TGenInfoThread(HWND window, std::string report_path,
                               const DiscoveredProduct& discovered_at_start,
                               const RunCancellation& cancellation)
    : window_(window),
      report_path_(std::move(report_path)),
      discovered_at_start_(discovered_at_start),
      cancellation_(cancellation) {}

TGenInfoThread::~TGenInfoThread() = default;

bool TGenInfoThread::Start(HWND window, const std::string& report_path,
                           const DiscoveredProduct& discovered_at_start,
                           const RunCancellation& cancellation) {
  std::unique_ptr<TGenInfoThread> self(
      new TGenInfoThread(window, report_path, discovered_at_start, cancellation));
  UniqueHandle thread(::CreateThread(nullptr, 0, &ThreadMain, self.get(), 0, nullptr));
  if (!thread)
    return false;
  self.release();  // the thread owns it now and deletes it at its end
  return true;     // the thread runs on its own; its handle is not needed
}

DWORD WINAPI TGenInfoThread::ThreadMain(void* param) {
  auto* self = static_cast<TGenInfoThread*>(param);
  TickRunClock clock;
  RunLog log(clock);
  // The run's path frame, handed to the collectors that need its folders; it outlives them
  // (the store-app collector goes with `self`).
  const TAppFrame frame;
  // Which of the user's folders are not used as the user's registry names them, and whether
  // the user's own rights are at hand for working in them.
  try {
    log.Stage("user folders", [&] {
      for (const std::string& note : UserFolderNotes())
        log.Failed("user folders", note);
    });
  } catch (...) {
    // Recorded by the stage; the run goes on with the folders as they are.
  }
  ExecuteCollection(*self, *self, self->Collectors(frame, log), log, self->report_path_,
                    self->discovered_at_start_);
  // Not reached in a normal run: the window ends the process while handling the done message.
  delete self;
  return 0;
}

RunCollectors TGenInfoThread::Collectors(const TAppFrame& frame, RunLog& log) {
  return RunCollectors{
      .init_wow64_redirection = &InitWow64Redirection,
      .file_version_text =
          [] { return GetFileVersionText(ExePath(), VersionField::kFileVersion, "Unknown"); },
      .date_time_text = &LocalDateTimeText,
      .os_summary = &CollectOSSummary,
      .product_summary = &CollectProductSummary,
      // The section text cut into one entry a line, so that the main info list holds lines.
      .process_table = [&log] { return SplitAtCrLf(CollectProcessTable(log)); },
      .services_and_drivers = [&log](StringList& out) { ListServicesAndDrivers(out, log); },
      .browser_helper_objects = &ListBrowserHelperObjects,
      .autoruns = [&frame] { return ListAutoruns(frame); },
      .security_state = [&log](StringList& out) { ListSecurityState(out, log); },
      .discover_product_folder = [&frame] { return DiscoverProductFolder(frame); },
      .product_files = [&log](const DiscoveredProduct& product,
                              StringList& out) { CollectProductFiles(product, out, log); },
      .uninstall_keys = [&log](StringList& out) { ExportUninstallKeys(out, log); },
      .services_tree = [&log](StringList& out) { ExportServicesTree(out, log); },
      .product_logs =
          [&frame, &log](const DiscoveredProduct& product, const std::string& staging) {
            CollectProductLogs(frame, product, staging, log);
          },
      .start_system_info =
          [this, &log](const std::string& staging_folder) -> std::unique_ptr<StartedCapture> {
        return std::make_unique<StartedSystemInfo>(staging_folder, log, cancellation_);
      },
      .scheduled_tasks =
          [this, &log](const std::string& path, const std::string& staging_folder) {
            SaveScheduledTasks(path, staging_folder, log, cancellation_);
          },
      .updater = [&frame,
                  &log](const std::string& staging_folder) -> std::unique_ptr<UpdaterCollector> {
        return CreateUpdaterCollector(frame, log, staging_folder);
      },
      .store_apps = [this, &frame, &log]() -> StoreAppCollector* {
        store_apps_ = std::make_unique<TGetMetroInfo>(frame, log);
        return store_apps_.get();
      },
      .discard_temporary_files = &DiscardTemporaryFiles,
      .pack_report = &PackReport,
  };
}

void TGenInfoThread::SendStart(int steps) {
  ::SendMessageW(window_, kProgressMessage, kProgressStart, steps);
}
void TGenInfoThread::PostStep(int step) {
  ::PostMessageW(window_, kProgressMessage, kProgressStep, step);
}
void TGenInfoThread::SendDone() {
  ::SendMessageW(window_, kProgressMessage, kProgressDone, 0);
}
bool TGenInfoThread::Cancelled() {
  return cancellation_.Requested();
}
std::string TGenInfoThread::TempFolder() {
  return win::TempFolder();
}
std::string TGenInfoThread::ExeFolder() {
  return win::ExeFolder();
}
bool TGenInfoThread::FileExists(const std::string& p) {
  return win::FileExists(p);
}
bool TGenInfoThread::MakeStagingFolder(const std::string& folder, RunLog& log) {
  staging_.reset();
  staging_ = StagingFolder::Create(folder, log);
  return staging_.has_value();
}
bool TGenInfoThread::RemoveFolder(const std::string& p) {
  if (staging_ && SameTextAscii(staging_->path(), IncludeTrailingBackslash(p))) {
    const bool removed = staging_->Remove();
    staging_.reset();
    return removed;
  }
  return RemoveTreeNoFollow(p);
}
void TGenInfoThread::ClearName(const std::string& p, RunLog& log) {
  ClearNameForWriting(p, log);
}
void TGenInfoThread::SaveList(const StringList& list, const std::string& path) {
  WriteFileBytes(path, EncodeListUtf16Le(list));
}

}  // namespace kovra::win
