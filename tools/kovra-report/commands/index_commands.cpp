// The commands on many reports: index, query and export, on an SQLite index (native reader
// only; the Windows reader lists them and says why they are not there).
#include <cstdint>
#include <cstdio>

#include "commands/command_table.h"
#include "commands/report_progress.h"
#include "report_file.h"

#ifdef KOVRA_REPORT_INDEX
#include "index/index_query.h"
#include "index/report_index.h"
#endif

namespace kovra {

namespace {

#ifdef KOVRA_REPORT_INDEX
constexpr unsigned kDecoders = 2;

Exit Index(const Invocation& in) {
  ReportIndex index;
  std::string error;
  if (!index.Open(in.arguments[0], error))
    return Fail(error);
  const size_t total = in.arguments.size() - 1;
  Progress progress(ProgressUnit::kReports, total);
  size_t added = 0, known = 0, failed = 0;
  unsigned long long records = 0;
  const std::vector<std::string> paths(in.arguments.begin() + 1, in.arguments.end());
  // Both cores decode while this thread inserts.
  index.AddAll(paths, kDecoders, [&](size_t i, const AddResult& r) {
    if (r.outcome == AddOutcome::kFailed) {
      progress.Clear();
      Fail(r.error);
      ++failed;
    }
    added += r.outcome == AddOutcome::kAdded;
    known += r.outcome == AddOutcome::kKnown;
    records += r.records;
    progress.Update(i + 1, paths[i]);
  });
  progress.Clear();
  std::printf("%zu added (%llu records), %zu already in the index, %zu could not be added\n", added,
              records, known, failed);
  return failed == 0 ? Exit::kDone : Exit::kFound;
}

Exit Query(const Invocation& in) {
  if (in.Has("--csv") && in.Has("--json"))
    return Fail("query takes --csv or --json, not both");
  const QueryFormat format = in.Has("--csv")    ? QueryFormat::kCsv
                             : in.Has("--json") ? QueryFormat::kJson
                                                : QueryFormat::kTable;
  std::string error;
  return QueryIndex(in.arguments[0], in.arguments[1], format, stdout, error) ? Exit::kDone
                                                                             : Fail(error);
}

Exit Export(const Invocation& in) {
  std::string error;
  return ExportIndex(in.arguments[0], stdout, error) ? Exit::kDone : Fail(error);
}
#else
Exit NotInThisBuild(const Invocation&) {
  return Fail(
      "index, query and export are not in this build (no SQLite); use the Linux build "
      "of kovra-report");
}
constexpr auto Index = NotInThisBuild;
constexpr auto Query = NotInThisBuild;
constexpr auto Export = NotInThisBuild;
#endif

const std::vector<Command>& Commands() {
  static const std::vector<Command> commands = {
      {"index",
       "DB REPORT...",
       "adds reports to the index DB (created when missing); one already there (same MD5) is "
       "passed over, a damaged one named and the others added",
       2,
       SIZE_MAX,
       {},
       Index},
      {"query",
       "DB \"SELECT ...\" [--csv|--json]",
       "one read-only statement; an aligned table by default. Tables: reports, failed_stages "
       "and one per table below (report_id, at_line, then its fields; dates as YYYY-MM-DD "
       "hh:mm:ss, as printed in <field>_text)",
       2,
       2,
       {{"--csv", nullptr}, {"--json", nullptr}},
       Query},
      {"export",
       "DB --ndjson",
       "every record as one JSON object per line, with its report_id and report_date",
       1,
       1,
       {{"--ndjson", nullptr, true}},
       Export},
  };
  return commands;
}

}  // namespace

std::span<const Command> IndexCommands() {
  return Commands();
}

}  // namespace kovra
