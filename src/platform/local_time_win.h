// Today's date and the current time in the user's regional formats.
#pragma once

#include <windows.h>

#include <string>

namespace kovra::win {

// The "Date:" value in the user's regional short date and long time formats.
std::string LocalDateTimeText();
// A local date and time in the same formats; exactly midnight gives the date alone.
std::string DateTimeText(const SYSTEMTIME& local);
// A local time in the user's long time format; empty when it cannot be formatted.
std::string LongTimeText(const SYSTEMTIME& local);
// Today's date in the user's short date format; empty when it cannot be formatted.
std::string TodayShortDateText();
// Today's date as "yyyymmdd", or "0".
std::string TodayYmd();

}  // namespace kovra::win
