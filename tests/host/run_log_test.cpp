#include "base/run_log.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace kovra {
namespace {

class StepClock : public RunClock {
 public:
  int64_t now = 5000;
  int64_t NowMs() override { return now; }
};

TEST(RunLog, RendersStagesStepsAndNotesInTheOrderTheyBegan) {
  StepClock clock;
  RunLog log(clock);
  clock.now += 2;
  log.Stage("stage 4", [&] {
    log.Step("product logs", [&] {
      clock.now += 30;
      for (int retry = 0; retry < 3; ++retry)
        log.Skipped("C:\\logs\\locked.log", SkipReason::kHeldByAnotherProgram);
      log.Skipped("C:\\logs\\secret.log", SkipReason::kAccessDenied);
    });
    log.Step("systeminfo", [&] {
      clock.now += 120;
      log.LimitReached("systeminfo", "time limit of 120 s", "the output so far");
    });
  });
  EXPECT_THROW(
      log.Stage("stage 5",
                [&] {
                  log.Step("scheduled tasks", [&] {
                    clock.now += 7;
                    log.Failed("", "odd\ttext\r\nover lines");
                    throw std::runtime_error("Cannot start schtasks: Access is denied. (error 5)");
                  });
                }),
      std::runtime_error);
  clock.now += 1;

  EXPECT_EQ(
      RunLogLines(log.Entries()),
      (StringList{
          "at_ms\tms\tkind\tname\toutcome\tcount\tdetail",
          "0\t160\trun\trun\tok\t1\t",
          "2\t150\tstage\tstage 4\tok\t1\t",
          "2\t30\tstep\tstage 4/product logs\tok\t1\t",
          "32\t\tnote\tstage 4/product logs\tskipped\t3\t"
          "C:\\logs\\locked.log: held by another program",
          "32\t\tnote\tstage 4/product logs\tskipped\t1\tC:\\logs\\secret.log: access denied",
          "32\t120\tstep\tstage 4/systeminfo\tok\t1\t",
          "152\t\tnote\tstage 4/systeminfo\tlimit\t1\t"
          "systeminfo: time limit of 120 s reached, kept the output so far",
          "152\t7\tstage\tstage 5\tfailed\t1\tCannot start schtasks: Access is denied. (error 5)",
          "152\t7\tstep\tstage 5/scheduled tasks\tfailed\t1\t"
          "Cannot start schtasks: Access is denied. (error 5)",
          "159\t\tnote\tstage 5/scheduled tasks\tfailed\t1\todd text  over lines",
      }));
}

TEST(RunLog, LinesParseBackAndOtherLinesDoNot) {
  StepClock clock;
  RunLog log(clock);
  log.Stage("stage 2",
            [&] { log.Step("os summary", [&] { log.Failed("key", "reason: with colon"); }); });
  const std::vector<RunEntry> entries = log.Entries();
  const StringList lines = RunLogLines(entries);
  ASSERT_EQ(lines.size(), entries.size() + 1);
  EXPECT_FALSE(ParseRunLogLine(lines[0]).has_value());
  for (size_t i = 0; i < entries.size(); ++i)
    EXPECT_EQ(ParseRunLogLine(lines[i + 1]), entries[i]) << lines[i + 1];
  for (const char* bad :
       {"", "1\t2\tstage\tx\tok\t1", "x\t2\tstage\tx\tok\t1\t", "1\t\tstage\tx\tok\t1\t",
        "1\t2\tphase\tx\tok\t1\t", "1\t2\tstage\tx\tfine\t1\t"})
    EXPECT_FALSE(ParseRunLogLine(bad).has_value()) << bad;
}

TEST(RunLog, StaysBoundedAndCountsOpenEntriesUpToNow) {
  StepClock clock;
  RunLog log(clock);
  log.Stage("stage 4", [&] {
    log.Step("product logs", [&] {
      for (int i = 0; i < kMaxNotesPerStep + 10; ++i) {
        for (int retry = 0; retry < 5; ++retry)
          log.Skipped("file " + std::to_string(i), SkipReason::kHeldByAnotherProgram);
      }
    });
    clock.now += 40;
    // Saved while the stage is still open: its duration so far.
    const std::vector<RunEntry> entries = log.Entries();
    ASSERT_EQ(entries.size(), 1u + 2u + kMaxNotesPerStep + 1u);
    EXPECT_EQ(entries[1].ms, 40);
    EXPECT_EQ(entries[3].count, 5);
    EXPECT_EQ(entries.back().outcome, RunOutcome::kLimit);
    EXPECT_EQ(entries.back().detail, "notes: 32 kept, 50 more not logged");
  });
  // Outside any stage a note belongs to the run.
  log.Failed("x", "y");
  EXPECT_EQ(log.Entries().back().name, "run");
}

}  // namespace
}  // namespace kovra
