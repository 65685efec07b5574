// Store-app inventory (module getMetroRegInfo).
#pragma once

#include <string>

#include "app/collection_pipeline.h"

namespace kovra::win {

class TGetMetroInfo : public StoreAppLog {
 public:
  bool StartGetMetroInfo() override;
  std::string LogPath() const override { return log_path_; }

 private:
  std::string log_path_;
};

}  // namespace kovra::win
