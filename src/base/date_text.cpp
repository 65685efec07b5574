#include "base/date_text.h"

#include "base/text.h"

namespace kovra {

std::string FormatDateYmd(int year, int month, int day) {
  static const int kDays[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > kDays[month - 1]) {
    return "0";
  }
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  if (month == 2 && day == 29 && !leap)
    return "0";
  return StrPrintf("%04d%02d%02d", year, month, day);
}

std::string JoinDateAndTime(const std::string& date, const std::string& time, bool midnight) {
  if (midnight || time.empty())
    return date;
  return date + " " + time;
}

}  // namespace kovra
