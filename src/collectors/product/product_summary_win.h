// Installed product summary.
#pragma once

#include <windows.h>

#include "base/string_list.h"

namespace kovra::win {

// A new list whose block starts with a star rule.
StringList CollectProductSummary();

}  // namespace kovra::win
