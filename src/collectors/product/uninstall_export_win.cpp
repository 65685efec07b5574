#include "collectors/product/uninstall_export_win.h"

namespace kovra::win {

void ExportUninstallKeys(StringList&) {}

}  // namespace kovra::win
