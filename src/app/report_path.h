// Rules that turn the desktop folder and today's date into the report path.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace kovra {

// The platform's upper-case mapping of UTF-16 text, one unit for one unit.
using UpperCaseFn = std::function<std::u16string(std::u16string_view)>;

// A process that runs under another account than the interactive user would put the report on
// its own desktop. When the two names differ (letter case ignored, by `upper`), every
// "\owner\" in the folder (letter case ignored) becomes "\session\". Empty names leave the
// folder as it is.
std::string AdjustReportFolder(const std::string& folder, const std::string& session_user,
                               const std::string& owner_user, const UpperCaseFn& upper);

// folder (a trailing backslash added when missing) + "nf_logs_" + date + ".log".
std::string ReportFileName(const std::string& folder, const std::string& date_text);

}  // namespace kovra
