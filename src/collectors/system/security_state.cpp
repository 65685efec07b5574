#include "collectors/system/security_state.h"

#include <cstdint>
#include <cstdlib>

#include "base/text.h"

namespace kovra {

namespace {

const char* BoolText(bool b) {
  return b ? "True" : "False";
}

}  // namespace

StringList SecurityProductGroup(const std::string& display_name, const std::string& product_state) {
  char* end = nullptr;
  const long long parsed = std::strtoll(product_state.c_str(), &end, 10);
  const bool number = !product_state.empty() && end != nullptr && *end == '\0';
  const uint32_t state = number ? static_cast<uint32_t>(parsed) : 0;
  return {"", "Name:" + display_name,
          StrPrintf("Enabled=%s(%08X)", BoolText((state & 0x1000) != 0), state),
          std::string("UptoDate=") + BoolText((state & 0x0010) == 0)};
}

StringList OldSecurityProductGroup(const std::string& display_name, const std::string& enabled,
                                   const std::string& up_to_date) {
  return {"", "Name:" + display_name, "Enabled=" + enabled, "UptoDate=" + up_to_date};
}

StringList FirewallStateLines(bool home, bool public_profile, bool current, bool manager_valid) {
  return {std::string("HomeNetFwEnabled=") + BoolText(home),
          std::string("PublicNetFwEnabled=") + BoolText(public_profile),
          std::string("FireWallEnabled=") + BoolText(current),
          manager_valid ? "FwObj=valid" : "FwObj=nil"};
}

}  // namespace kovra
