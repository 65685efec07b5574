#include "collectors/product/product_files_win.h"

namespace kovra::win {

void DiscoverProductFolder() {}
void ListProductFiles(StringList&) {}
void CollectProductLogs(const std::string&) {}

}  // namespace kovra::win
