#include "app/pack_report_win.h"

namespace kovra::win {

void PackReport(const StringList*, const std::string&, const std::string&) {}

}  // namespace kovra::win
