#include "collectors/system/security_state_win.h"

namespace kovra::win {

void ListSecurityState(StringList&) {}

}  // namespace kovra::win
