// The updater product collector as the run sees it: it has done its work when it exists, owns
// the archive list, and cleans up its temporary files when it is destroyed.
#pragma once

#include "base/string_list.h"

namespace kovra {

class UpdaterCollector {
 public:
  virtual ~UpdaterCollector() = default;
  virtual StringList& ArchiveList() = 0;
};

}  // namespace kovra
