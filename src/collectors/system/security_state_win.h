// Security products and the firewall state.
#pragma once

#include <windows.h>

#include "base/string_list.h"

namespace kovra::win {

void ListSecurityState(StringList& out);

}  // namespace kovra::win
