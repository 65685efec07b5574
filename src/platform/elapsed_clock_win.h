// Milliseconds since a start, from GetTickCount differences: correct across the counter's wrap
// for spans under 49 days, and available on every Windows the tool runs on.
#pragma once

#include <windows.h>

namespace kovra::win {

class ElapsedClock {
 public:
  ElapsedClock() : start_(::GetTickCount()) {}
  DWORD ms() const { return ::GetTickCount() - start_; }

 private:
  DWORD start_;
};

}  // namespace kovra::win
