// The progress line of long commands: done of total, rate and time left, as one line.
#include "commands/report_progress.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(ReportProgress, TheLineSaysHowMuchIsDoneHowFastAndHowLongIsLeft) {
  const struct {
    ProgressUnit unit;
    uint64_t done, total;
    double elapsed_s;
    const char* name;
    const char* want;
  } kCases[] = {
      {ProgressUnit::kReports, 0, 10, 0, "a.log", "[....................] 0/10 reports  a.log"},
      {ProgressUnit::kReports, 5, 10, 2, "b.log",
       "[##########..........] 5/10 reports, 2.5/s, 0:02 left  b.log"},
      {ProgressUnit::kReports, 10, 10, 4, "c.log",
       "[####################] 10/10 reports, 2.5/s, 0:00 left  c.log"},
      {ProgressUnit::kMegabytes, 3 << 20, 12 << 20, 1, "x.txt",
       "[#####...............] 3.0/12.0 MB, 3.0 MB/s, 0:03 left  x.txt"},
      {ProgressUnit::kReports, 1, 7201, 1, "slow",
       "[....................] 1/7201 reports, 1.0/s, 2:00:00 left  slow"},
      // A hostile name reaches the terminal escaped, a long one by its end.
      {ProgressUnit::kReports, 1, 2, 1, "\x1b[2J",
       "[##########..........] 1/2 reports, 1.0/s, 0:01 left  \\x1B[2J"},
      {ProgressUnit::kReports, 1, 2, 1, "/cases/0123456789/0123456789/0123456789/r.log",
       "[##########..........] 1/2 reports, 1.0/s, 0:01 left  "
       "...56789/0123456789/0123456789/r.log"},
  };
  for (const auto& c : kCases)
    EXPECT_EQ(ProgressLine(c.unit, c.done, c.total, c.elapsed_s, c.name), c.want) << c.want;
}

}  // namespace
}  // namespace kovra
