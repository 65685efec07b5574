// Operating-system summary block of the main info file.
#pragma once

#include "base/string_list.h"

namespace kovra::win {

// A new list whose block starts with a star rule.
StringList CollectOSSummary();

}  // namespace kovra::win
