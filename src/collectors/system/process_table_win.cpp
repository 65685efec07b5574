#include "collectors/system/process_table_win.h"

namespace kovra::win {

std::string CollectProcessTable() {
  return std::string();
}

}  // namespace kovra::win
