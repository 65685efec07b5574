// A run log on the tick clock for the tests that call collectors, and the notes it holds.
#pragma once

#include <string>

#include "base/run_log.h"
#include "base/string_list.h"
#include "platform/elapsed_clock_win.h"

namespace kovra::win {

struct TestRunLog {
  TickRunClock clock;
  RunLog log{clock};

  // The log of a temporary, for a call whose notes the test does not look at.
  RunLog& Log() { return log; }

  // The notes as "outcome detail", in the order they were made.
  StringList Notes() const {
    StringList notes;
    for (const RunEntry& e : log.Entries()) {
      if (e.kind == RunEntryKind::kNote)
        notes.push_back(std::string(RunOutcomeText(e.outcome)) + " " + e.detail);
    }
    return notes;
  }
};

}  // namespace kovra::win
