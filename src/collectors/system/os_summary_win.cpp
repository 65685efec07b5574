#include "collectors/system/os_summary_win.h"

namespace kovra::win {

StringList CollectOSSummary() {
  return StringList();
}

}  // namespace kovra::win
