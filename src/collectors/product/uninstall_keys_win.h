// uninstall.txt: the products' key and the Uninstall trees in the export file's form.
#pragma once

#include "base/run_log.h"
#include "base/string_list.h"

namespace kovra::win {

// The products' and the system's Uninstall trees, in the order of uninstall.txt. Never throws:
// an error ends the export, keeps the lines appended so far and is reported through the run log.
void ExportUninstallKeys(StringList& lines, RunLog& log);

}  // namespace kovra::win
