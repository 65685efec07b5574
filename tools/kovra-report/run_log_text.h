// The run log of a report (GetInfoRun.txt) as support reads it: the failed stages with their
// reasons, what the collectors noted, the slowest steps, and a comparison without timings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/report_file_names.h"

namespace kovra {

inline constexpr const auto& kRunLogEntry = report_files::kRunLog;

struct RunLogFacts {
  bool present = false;
  int64_t run_ms = 0;
  // "stage 4: <reason> (in product logs)", in run order.
  std::vector<std::string> failed_stages;
  // "skipped stage 4/product logs: <what>: held by another program", failures, limits and skips
  // noted by the collectors, in run order ("(3 times)" when repeated).
  std::vector<std::string> notes;
  // "stage 4/systeminfo  120034 ms", the three slowest steps, slowest first.
  std::vector<std::string> slowest_steps;
};

// The facts of the run log's lines (as DecodeReportText gives them); lines of another form are
// passed over.
RunLogFacts ReadRunLog(const std::vector<std::string>& lines);

// The summary's lines of the run: its time, the failed stages with their reasons, the notes
// (at most `max_notes`, then how many more) and the slowest steps; empty without a run log.
std::string RunLogSummaryText(const RunLogFacts& facts, size_t max_notes = 12);

// "+"/"-" lines under "--- GetInfoRun.txt" for entries that differ in kind, name, outcome or
// detail; times and durations are left out. Empty when the two are the same that way.
std::string DiffRunLogs(const std::vector<std::string>& old_lines,
                        const std::vector<std::string>& new_lines);

}  // namespace kovra
