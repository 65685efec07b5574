#include "report_file.h"

#include "archive/zip_reader.h"
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

}  // namespace kovra
