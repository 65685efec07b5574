// Date texts of the report: the date in a file name and the "Date:" value.
#pragma once

#include <string>

namespace kovra {

// "yyyymmdd", or "0" when the date is not a valid calendar date.
std::string FormatDateYmd(int year, int month, int day);

// The "Date:" value: date, a blank and the time; the time is left out at exactly midnight.
std::string JoinDateAndTime(const std::string& date, const std::string& time, bool midnight);

}  // namespace kovra
