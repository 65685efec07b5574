// Services and drivers: the block of the main info file and the services export.
#pragma once

#include <windows.h>

#include "base/string_list.h"

namespace kovra::win {

void ListServicesAndDrivers(StringList& out);
void ExportServicesTree(StringList& out);

}  // namespace kovra::win
