#include "report_file.h"

#include "archive/zip_reader.h"
#include "base/text.h"
#include "crypto/descrypt.h"

namespace kovra {

bool DecodeReport(std::string_view report, std::string& archive, ReportKind& kind,
                  std::string& error) {
  if (LooksLikeZip(report)) {
    kind = ReportKind::kPlainZip;
    archive.assign(report);
    return true;
  }
  kind = ReportKind::kContainer;
  if (!DecryptContainer(report, kReportKey, archive, error)) {
    error = "not a report container: " + error;
    return false;
  }
  if (!LooksLikeZip(archive)) {
    error = "the deciphered container holds no ZIP archive (wrong key or not a report)";
    return false;
  }
  return true;
}

std::string TerminalSafe(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const bool c1 = c == 0xC2 && i + 1 < text.size() &&
                    static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                    static_cast<unsigned char>(text[i + 1]) <= 0x9F;
    if (c < 0x20 || c == 0x7F) {
      out += StrPrintf("\\x%02X", c);
    } else if (c1) {
      out += StrPrintf("\\xC2\\x%02X", static_cast<unsigned char>(text[++i]));
    } else if (c == '\\') {
      out += "\\\\";
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace kovra
