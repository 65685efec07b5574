#include "platform/local_time_win.h"

#include <windows.h>

#include <stdexcept>

#include "base/date_text.h"
#include "platform/win_text_win.h"

namespace kovra::win {

namespace {

std::wstring FormatLocal(const SYSTEMTIME& st, bool date) {
  wchar_t buffer[256] = {};
  const int n =
      date ? ::GetDateFormatW(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer, 256)
           : ::GetTimeFormatW(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, 256);
  if (n <= 0)
    throw std::runtime_error("The date cannot be formatted");
  return std::wstring(buffer, static_cast<size_t>(n - 1));
}

}  // namespace

std::string LocalDateTimeText() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return DateTimeText(st);
}

std::string DateTimeText(const SYSTEMTIME& st) {
  const bool midnight =
      st.wHour == 0 && st.wMinute == 0 && st.wSecond == 0 && st.wMilliseconds == 0;
  return JoinDateAndTime(Narrow(FormatLocal(st, true)),
                         midnight ? std::string() : Narrow(FormatLocal(st, false)), midnight);
}

std::string LongTimeText(const SYSTEMTIME& local) {
  try {
    return Narrow(FormatLocal(local, false));
  } catch (const std::runtime_error&) {
    return std::string();
  }
}

std::string TodayShortDateText() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  st.wHour = st.wMinute = st.wSecond = st.wMilliseconds = 0;  // exactly midnight: the date alone
  return DateTimeText(st);
}

std::string TodayYmd() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  return FormatDateYmd(st.wYear, st.wMonth, st.wDay);
}

}  // namespace kovra::win
