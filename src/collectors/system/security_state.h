// The lines of the security section: the security products and the Windows Firewall state.
// Portable; the WMI and firewall reads are in security_state_win.
#pragma once

#include <string>

#include "base/string_list.h"

namespace kovra {

// The security section's lines for one product: by productState (the newer namespace), or by the
// two properties of the older one, each as its text.
StringList SecurityProductGroup(const std::string& display_name, const std::string& product_state);
StringList OldSecurityProductGroup(const std::string& display_name, const std::string& enabled,
                                   const std::string& up_to_date);
// The four lines of the Windows Firewall state.
StringList FirewallStateLines(bool home, bool public_profile, bool current, bool manager_valid);

}  // namespace kovra
