// Operating-system summary block of the main info file: the facts gathered through Win32.
#pragma once

#include <windows.h>

#include <string>

#include "base/string_list.h"

namespace kovra::win {

// A new list: the star rule, the fact lines, an empty line.
StringList CollectOSSummary();
// The display name ("Windows 7 x64 Service Pack 1"), computed once for the process.
std::string GetOSDisplayName();

}  // namespace kovra::win
