// Fuzz target: the streaming path every command takes. The input is written to a file and read
// as a report from there: opened (container or plain archive), its entries listed, every table
// streamed and written as text, CSV and JSON, and the summary's facts gathered.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "commands/open_report.h"
#include "report_output.h"
#include "report_scan.h"

namespace {

// One file per fuzzing process, rewritten for each input.
const std::string& InputPath() {
  static const std::string path = [] {
    char name[] = "/tmp/kovra_fuzz_report_XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0)
      std::abort();
    close(fd);
    return std::string(name);
  }();
  return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  {
    std::FILE* f = std::fopen(InputPath().c_str(), "wb");
    if (f == nullptr || std::fwrite(data, 1, size, f) != size || std::fclose(f) != 0)
      std::abort();
  }
  kovra::OpenReport report;
  std::string error;
  if (!report.Open(InputPath(), error))
    return 0;
  std::string listing;
  for (const std::string& name : report.Names())
    listing += kovra::TerminalSafe(name) + "\n";
  static std::FILE* sink = std::fopen("/dev/null", "w");
  for (const kovra::TableDefinition& table : kovra::Tables()) {
    for (const kovra::TableFormat format :
         {kovra::TableFormat::kText, kovra::TableFormat::kCsv, kovra::TableFormat::kJson}) {
      kovra::TableWriter writer(table, format, sink);
      (void)kovra::ForEachRecord(
          report.zip, &table, [&](const kovra::Record& r) { writer.Write(r); }, error);
      (void)writer.Finish();
    }
  }
  kovra::ReportFacts facts;
  (void)report.Facts(facts, error);
  (void)kovra::SummaryText(facts);
  (void)kovra::SummaryJson(facts);
  return 0;
}
