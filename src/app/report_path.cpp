#include "app/report_path.h"

#include "base/text.h"

namespace kovra {

std::string AdjustReportFolder(const std::string& folder, const std::string& session_user,
                               const std::string& owner_user, const UpperCaseFn& upper) {
  if (session_user.empty() || owner_user.empty())
    return folder;
  if (upper(Utf8ToUtf16(session_user)) == upper(Utf8ToUtf16(owner_user)))
    return folder;
  const std::u16string text = Utf8ToUtf16(folder);
  const std::u16string folded = upper(text);
  const std::u16string needle = upper(u"\\" + Utf8ToUtf16(owner_user) + u"\\");
  if (folded.size() != text.size())
    return folder;  // a mapping that changes lengths cannot place the matches
  const std::u16string replacement = u"\\" + Utf8ToUtf16(session_user) + u"\\";
  std::u16string out;
  size_t pos = 0;
  for (size_t hit; (hit = folded.find(needle, pos)) != std::u16string::npos;
       pos = hit + needle.size()) {
    out.append(text, pos, hit - pos);
    out.append(replacement);
  }
  out.append(text, pos, std::u16string::npos);
  return Utf16ToUtf8(out);
}

std::string ReportFileName(const std::string& folder, const std::string& date_text) {
  return IncludeTrailingBackslash(folder) + "nf_logs_" + date_text + ".log";
}

}  // namespace kovra
