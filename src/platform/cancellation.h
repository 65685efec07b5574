// The one cancellation of a run: the main window owns it and asks for it when it is closed
// while the worker runs; the worker and the captured programs' waits are handed it and end
// early once it is asked for. One way only (never reset), portable and lock-free.
#pragma once

#include <atomic>

namespace kovra {

class RunCancellation {
 public:
  RunCancellation() = default;
  RunCancellation(const RunCancellation&) = delete;
  RunCancellation& operator=(const RunCancellation&) = delete;

  void Request() { flag_.store(true); }
  bool Requested() const { return flag_.load(); }

 private:
  std::atomic<bool> flag_{false};
};

}  // namespace kovra
