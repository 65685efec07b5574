// The updater product collector: gathers its files and fills the archive
// list; releasing it deletes the sibling products' registry exports.
#pragma once

#include <windows.h>

#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/run_log.h"
#include "collectors/common/shell_exports_win.h"
#include "collectors/product/updater.h"
#include "platform/path_frame_win.h"
#include "platform/handles_win.h"

namespace kovra::win {

class TLPSWGetInfo : public UpdaterCollector {
 public:
  // Does the whole work, steps 1 to 7, in `frame`'s folders (the frame outlives the
  // collector). What fails on the way is reported through the run log and the rest still runs.
  // reg writes its exports into `staging_folder` first (see StartRegExport).
  TLPSWGetInfo(const TAppFrame& frame, RunLog& log, std::string staging_folder);
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
  void ExportKeys(std::span<const RegistryExportJob> jobs, bool product);
  void SaveDisplayFacts();
  void AddShortcutPatterns();

  // Only the frame's path tables are used; they ask the system on each call.
  const TAppFrame& frame_;
  RunLog& log_;
  const std::string staging_folder_;
  StringList archive_list_;
  StringList product_exports_;
  std::vector<RunningExport> exports_running_;
};

// The collector of a run: it exists whenever its construction succeeds, with or without the
// updater installed; a construction that fails throws.
std::unique_ptr<TLPSWGetInfo> CreateUpdaterCollector(const TAppFrame& frame, RunLog& log,
                                                     const std::string& staging_folder);

// Deletes every file the collector writes into the temporary folder `temp_folder`: the digest
// list, the display facts and the registry exports. For a cancelled run, whose files go
// unpacked; a finished run leaves them for the next run to replace.
void DiscardUpdaterFiles(const std::string& temp_folder);

}  // namespace kovra::win
