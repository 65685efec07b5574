// Work on many independent items spread over a few threads, for calls that spend their time
// waiting (file opens, system calls that cross into another process) more than computing:
// several in flight at once hide each other's waits.
#pragma once

#include <cstddef>
#include <exception>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace kovra {

// Calls body(i) once for every i in [0, count), on the calling thread and up to workers - 1
// helper threads, each taking the next index as it becomes free; returns when every call has
// ended. A helper that cannot be started leaves its share to the others (to the calling thread
// alone at the least), so the work is always done. When a call throws, indices not yet taken
// are not run, and the first exception is rethrown here once every thread has ended. Whatever
// body writes for index i belongs to that index alone; the caller reads it after the return.
// Helper threads start afresh: per-thread state the caller switched (a Windows thread's file
// system redirection, its COM apartment) is not theirs.
void ForEachIndex(size_t count, unsigned workers, const std::function<void(size_t)>& body);

// Makes a result for every index on several threads (ForEachIndex) and hands the results to
// take(result), in index order, on the calling thread, once all are made. A make(i) that throws
// leaves its exception in its place: it is rethrown when its turn comes, after the results
// before it were taken, so the caller keeps what a run in sequence would have kept.
template <typename Result, typename Make, typename Take>
void MapInOrder(size_t count, unsigned workers, Make make, Take take) {
  struct Slot {
    std::optional<Result> result;
    std::exception_ptr failure;
  };
  std::vector<Slot> slots(count);
  ForEachIndex(count, workers, [&](size_t i) {
    try {
      slots[i].result.emplace(make(i));
    } catch (...) {
      slots[i].failure = std::current_exception();
    }
  });
  for (Slot& slot : slots) {
    if (slot.failure)
      std::rethrow_exception(slot.failure);
    take(std::move(*slot.result));
  }
}

}  // namespace kovra
