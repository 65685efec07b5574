// The store-app collector as the run sees it: it writes its log and names it.
#pragma once

#include <string>

namespace kovra {

class StoreAppCollector {
 public:
  virtual ~StoreAppCollector() = default;
  // False when the log could not be written.
  virtual bool StartGetMetroInfo() = 0;
  virtual std::string LogPath() const = 0;
};

}  // namespace kovra
