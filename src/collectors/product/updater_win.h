// The updater product collector (module LPSWGetInfo): gathers its files and fills the
// archive list.
#pragma once

#include <windows.h>

#include <memory>

#include "collectors/product/updater.h"

namespace kovra::win {

class TLPSWGetInfo : public UpdaterCollector {
 public:
  StringList& ArchiveList() override { return archive_list_; }

 private:
  StringList archive_list_;
};

// Does the collector's whole work; nullptr while the product has no updater files to add.
std::unique_ptr<TLPSWGetInfo> CreateUpdaterCollector();

}  // namespace kovra::win
