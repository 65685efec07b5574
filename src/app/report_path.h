// Rules that turn the desktop folder and today's date into the report path.
#pragma once

#include <string>

namespace kovra {

// A process that runs under another account than the interactive user would put the report on
// its own desktop. When the two names differ (A-Z case ignored), every "\owner\" in the folder
// (case ignored) becomes "\session\". Empty names leave the folder as it is.
std::string AdjustReportFolder(const std::string& folder, const std::string& session_user,
                               const std::string& owner_user);

// "yyyymmdd", or "0" when the date is not a valid calendar date.
std::string FormatDateYmd(int year, int month, int day);

// folder (a trailing backslash added when missing) + "nf_logs_" + date + ".log".
std::string ReportFileName(const std::string& folder, const std::string& date_text);

// The "Date:" value: date, a blank and the time; the time is left out at exactly midnight.
std::string JoinDateAndTime(const std::string& date, const std::string& time, bool midnight);

}  // namespace kovra
