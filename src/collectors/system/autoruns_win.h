// Autostart entries and browser helper objects.
#pragma once

#include <windows.h>

#include "base/string_list.h"

namespace kovra::win {

StringList ListBrowserHelperObjects();
StringList ListAutoruns();

}  // namespace kovra::win
