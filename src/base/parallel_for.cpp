#include "base/parallel_for.h"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace kovra {

void ForEachIndex(size_t count, unsigned workers, const std::function<void(size_t)>& body) {
  std::atomic<size_t> next{0};
  std::mutex failure_mutex;
  std::exception_ptr failure;
  const auto work = [&] {
    for (;;) {
      const size_t i = next.fetch_add(1);
      if (i >= count)
        return;
      try {
        body(i);
      } catch (...) {
        // No index after this one is handed out; the first failure is the one rethrown.
        next.store(count);
        const std::lock_guard<std::mutex> lock(failure_mutex);
        if (!failure)
          failure = std::current_exception();
        return;
      }
    }
  };
  const size_t helpers = std::min<size_t>(workers > 0 ? workers - 1 : 0, count > 0 ? count - 1 : 0);
  std::vector<std::thread> threads;
  for (size_t t = 0; t < helpers; ++t) {
    try {
      threads.emplace_back(work);
    } catch (...) {
      break;  // no more threads to be had: fewer hands, the same work
    }
  }
  work();
  for (std::thread& t : threads)
    t.join();
  if (failure)
    std::rethrow_exception(failure);
}

}  // namespace kovra
