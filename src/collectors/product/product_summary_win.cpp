#include "collectors/product/product_summary_win.h"

namespace kovra::win {

StringList CollectProductSummary() {
  return StringList();
}

}  // namespace kovra::win
