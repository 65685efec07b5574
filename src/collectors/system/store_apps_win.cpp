#include "collectors/system/store_apps_win.h"

namespace kovra::win {

// The inventory is not collected yet: there is no log to add to the report.
bool TGetMetroInfo::StartGetMetroInfo() {
  return false;
}

}  // namespace kovra::win
