// Registry export of the products' Uninstall entries.
#pragma once

#include <windows.h>

#include "base/string_list.h"

namespace kovra::win {

void ExportUninstallKeys(StringList& out);

}  // namespace kovra::win
