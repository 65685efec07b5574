#include "collectors/system/services_win.h"

namespace kovra::win {

void ListServicesAndDrivers(StringList&) {}
void ExportServicesTree(StringList&) {}

}  // namespace kovra::win
