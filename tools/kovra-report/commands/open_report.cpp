#include "commands/open_report.h"

#include "base/report_file_names.h"
#include "report_scan.h"

namespace kovra {

bool OpenReport::Open(const std::string& path, std::string& error) {
  if (!report.Open(path, error))
    return false;
  if (!zip.Open(report.archive(), error)) {
    error = path + ": " + error;
    return false;
  }
  return true;
}

const ZipEntry* OpenReport::Find(const std::string& name, std::string& error) const {
  const ZipEntry* found = nullptr;
  int matches = 0;
  for (const ZipEntry& e : zip.entries()) {
    const std::string stored = EntryNameUtf8(e);
    if (stored == name)
      return &e;
    const size_t slash = stored.rfind('/');
    if ((slash == std::string::npos ? stored : stored.substr(slash + 1)) == name) {
      found = &e;
      ++matches;
    }
  }
  if (matches == 1)
    return found;
  error = matches == 0
              ? "no entry named " + name
              : name + " names " + std::to_string(matches) + " entries; give its stored name";
  return nullptr;
}

std::vector<std::string> OpenReport::TextLines(const std::string& name, int code_page) const {
  std::string error;
  std::vector<std::string> lines;
  const ZipEntry* e = Find(name, error);
  if (e == nullptr || !ReadEntryLines(zip, *e, code_page, lines, error))
    return {};
  return lines;
}

ReportFacts OpenReport::ArchiveFacts() const {
  ReportFacts f = ReadFacts({}, TextLines(report_files::kErrorLog));
  f.entries = zip.entries().size();
  for (const ZipEntry& e : zip.entries())
    f.bytes += e.uncompressed_size;
  return f;
}

bool OpenReport::Facts(ReportFacts& facts, std::string& error) const {
  facts = ArchiveFacts();
  return ForEachRecordOf(
      zip, SourceFile::kMainInfo, [&](const Record& r) { AddRecordFacts(r, facts); }, error);
}

std::vector<std::string> OpenReport::Names() const {
  std::vector<std::string> names;
  for (const ZipEntry& e : zip.entries())
    names.push_back(EntryNameUtf8(e));
  return names;
}

}  // namespace kovra
