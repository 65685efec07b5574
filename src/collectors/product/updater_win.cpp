#include "collectors/product/updater_win.h"

namespace kovra::win {

std::unique_ptr<TLPSWGetInfo> CreateUpdaterCollector() {
  return nullptr;
}

}  // namespace kovra::win
