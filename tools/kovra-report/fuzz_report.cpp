// Fuzz target: the container and ZIP parsing of the report reader on arbitrary bytes, and the
// record parsers of every source file and the sections of diff on the same bytes as text.
#include <cstddef>
#include <cstdint>
#include <string>

#include "archive/zip_reader.h"
#include "report_file.h"
#include "report_records.h"
#include "report_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::string archive, error;
  kovra::ReportKind kind;
  // The bytes both as a whole report and as an archive on their own.
  if (kovra::DecodeReport(input, archive, kind, error)) {
    kovra::ZipReader zip;
    if (zip.Open(archive, error)) {
      for (const auto& e : zip.entries()) {
        std::string out, relative;
        if (e.uncompressed_size < (1u << 24))
          (void)zip.Read(e, out, error);  // a damaged entry only has to fail cleanly
        (void)kovra::SafeRelativePath(e.name, relative);
      }
    }
  }
  kovra::ZipReader raw;
  if (raw.Open(input, error)) {
    for (const auto& e : raw.entries()) {
      std::string out;
      if (e.uncompressed_size < (1u << 24))
        (void)raw.Read(e, out, error);
    }
  }
  for (int source = 0; source <= static_cast<int>(kovra::SourceFile::kStoreAppLog); ++source) {
    for (const kovra::Record& r : kovra::ParseText(static_cast<kovra::SourceFile>(source), input))
      (void)kovra::DateSortKey(r.values.empty() ? std::string() : r.values.back());
  }
  // The same text as the main info file of diff: its sections and their stable lines.
  (void)kovra::DiffSections(kovra::SplitSections(kovra::SplitLines(input)), {});
  return 0;
}
