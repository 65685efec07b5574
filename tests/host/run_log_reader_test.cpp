#include "run_log_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kovra {
namespace {

// A run log as the tool saves it, with its times given by `scale` (another run of one machine).
std::vector<std::string> Log(int scale, const std::string& logs_outcome) {
  auto t = [scale](int ms) { return std::to_string(ms * scale); };
  return {
      "at_ms\tms\tkind\tname\toutcome\tcount\tdetail",
      "0\t" + t(900) + "\trun\trun\tok\t1\t",
      "0\t" + t(100) + "\tstage\tstage 2\tok\t1\t",
      "0\t" + t(60) + "\tstep\tstage 2/process table\tok\t1\t",
      t(60) + "\t" + t(40) + "\tstep\tstage 2/services and drivers\tok\t1\t",
      t(100) + "\t" + t(700) + "\tstage\tstage 4\t" + logs_outcome +
          "\t1\tCannot copy x: Access is denied. (error 5)",
      t(100) + "\t" + t(150) + "\tstep\tstage 4/product logs\t" + logs_outcome +
          "\t1\tCannot copy x: Access is denied. (error 5)",
      t(120) +
          "\t\tnote\tstage 4/product logs\tskipped\t3\tC:\\PulseSync\\locked.log: held by another "
          "program",
      t(250) + "\t" + t(550) + "\tstep\tstage 4/systeminfo\tok\t1\t",
      t(800) +
          "\t\tnote\tstage 4/systeminfo\tlimit\t1\tsysteminfo: time limit of 120 s reached, kept "
          "the output so far",
      "a line of another form",
  };
}

TEST(RunLogReader, SummaryNamesFailedStagesNotesAndTheSlowestSteps) {
  const RunLogFacts f = ReadRunLog(Log(1, "failed"));
  EXPECT_EQ(RunLogSummaryText(f),
            "Run:          900 ms, 1 stage(s) failed\n"
            "              stage 4: Cannot copy x: Access is denied. (error 5) (in product logs)\n"
            "Noted:        skipped stage 4/product logs: C:\\PulseSync\\locked.log: held by "
            "another program (3 times)\n"
            "              limit stage 4/systeminfo: systeminfo: time limit of 120 s reached, kept "
            "the output so far\n"
            "Slowest:      stage 4/systeminfo  550 ms\n"
            "              stage 4/product logs  150 ms\n"
            "              stage 2/process table  60 ms\n");
  // Notes beyond the bound are counted; a report without a run log adds nothing.
  EXPECT_NE(RunLogSummaryText(f, 1).find("              1 more (show REPORT GetInfoRun.txt)\n"),
            std::string::npos);
  EXPECT_EQ(RunLogSummaryText(ReadRunLog({})), "");
}

TEST(RunLogReader, DiffLeavesTimesOutAndShowsWhatChanged) {
  EXPECT_EQ(DiffRunLogs(Log(1, "ok"), Log(3, "ok")), "");
  EXPECT_EQ(DiffRunLogs(Log(1, "ok"), Log(2, "failed")),
            "--- GetInfoRun.txt\n"
            "- stage stage 4 ok: Cannot copy x: Access is denied. (error 5)\n"
            "- step stage 4/product logs ok: Cannot copy x: Access is denied. (error 5)\n"
            "+ stage stage 4 failed: Cannot copy x: Access is denied. (error 5)\n"
            "+ step stage 4/product logs failed: Cannot copy x: Access is denied. (error 5)\n");
}

}  // namespace
}  // namespace kovra
