// The one cancellation of a run: the window asks for it when it is closed while the worker
// runs; long waits (captured programs, task queries) and the run sequence look at it and end
// early. Portable and lock-free.
#pragma once

#include <atomic>

namespace kovra {

class RunCancellation {
 public:
  static void Request() { Flag().store(true); }
  static bool Requested() { return Flag().load(); }

 private:
  static std::atomic<bool>& Flag() {
    static std::atomic<bool> flag{false};
    return flag;
  }
};

}  // namespace kovra
