// Milliseconds since a start, from GetTickCount differences: correct across the counter's wrap
// for spans under 49 days, and available on every Windows the tool runs on.
#pragma once

#include <windows.h>

#include "base/run_log.h"

namespace kovra::win {

class ElapsedClock {
 public:
  ElapsedClock() : start_(::GetTickCount()) {}
  DWORD ms() const { return ::GetTickCount() - start_; }

 private:
  DWORD start_;
};

// The run log's clock: the same tick count, widened across its wraps as long as it is read at
// least once in 49 days.
class TickRunClock : public RunClock {
 public:
  int64_t NowMs() override {
    const DWORD now = ::GetTickCount();
    total_ += static_cast<DWORD>(now - last_);
    last_ = now;
    return total_;
  }

 private:
  DWORD last_ = ::GetTickCount();
  int64_t total_ = 0;
};

}  // namespace kovra::win
