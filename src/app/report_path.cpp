#include "app/report_path.h"

#include "base/text.h"

namespace kovra {

std::string AdjustReportFolder(const std::string& folder, const std::string& session_user,
                               const std::string& owner_user) {
  if (session_user.empty() || owner_user.empty())
    return folder;
  if (SameTextAscii(session_user, owner_user))
    return folder;
  return ReplaceAllTextAscii(folder, "\\" + owner_user + "\\", "\\" + session_user + "\\");
}

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

std::string ReportFileName(const std::string& folder, const std::string& date_text) {
  return IncludeTrailingBackslash(folder) + "nf_logs_" + date_text + ".log";
}

std::string JoinDateAndTime(const std::string& date, const std::string& time, bool midnight) {
  if (midnight || time.empty())
    return date;
  return date + " " + time;
}

}  // namespace kovra
