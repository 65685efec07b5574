// The updater product collector: gathers its files and fills the archive
// list; releasing it deletes the sibling products' registry exports.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "base/run_log.h"
#include "collectors/product/updater.h"
#include "platform/path_frame_win.h"
#include "platform/handles_win.h"

namespace kovra::win {

class TLPSWGetInfo : public UpdaterCollector {
 public:
  // Does the whole work, steps 1 to 7. What fails on the way is reported through the run log
  // and the rest still runs.
  explicit TLPSWGetInfo(RunLog& log);
  ~TLPSWGetInfo() override;
  TLPSWGetInfo(const TLPSWGetInfo&) = delete;
  TLPSWGetInfo& operator=(const TLPSWGetInfo&) = delete;

  StringList& ArchiveList() override { return archive_list_; }
  const StringList& ProductExports() const { return product_exports_; }

 private:
  void AddUserDataFiles();
  void AddInstallFolder();
  // The digest list of the install folder; its path, or empty when it could not be written.
  std::string SaveDigestList(const std::string& folder);
  // Starts the exports of a table; they are waited for together (WaitForRegExports).
  void ExportKeys(const std::vector<RegistryExportJob>& jobs, bool product);
  void SaveDisplayFacts();
  void AddShortcutPatterns();

  RunLog& log_;
  // The process's one path frame, created at start-up; only its path tables are used, and
  // they ask the system on each call.
  const TAppFrame& frame_ = SharedPathFrame();
  StringList archive_list_;
  StringList product_exports_;
  std::vector<UniqueHandle> exports_running_;
};

// The collector of a run: it exists whenever its construction succeeds, with or without the
// updater installed; a construction that fails throws.
std::unique_ptr<TLPSWGetInfo> CreateUpdaterCollector(RunLog& log);

}  // namespace kovra::win
