// Store-app inventory (module getMetroRegInfo).
#pragma once

#include <windows.h>

#include <string>

#include "collectors/system/store_apps.h"

namespace kovra::win {

class TGetMetroInfo : public StoreAppCollector {
 public:
  bool StartGetMetroInfo() override;
  std::string LogPath() const override { return log_path_; }

 private:
  std::string log_path_;
};

}  // namespace kovra::win
