// Installed product summary.
#pragma once

#include <windows.h>

#include "base/string_list.h"
#include "collectors/product/product_names.h"

namespace kovra::win {

// A new list whose block starts with a star rule; the keys it reads are those of `digits`.
StringList CollectProductSummary(const GenerationDigits& digits);

}  // namespace kovra::win
