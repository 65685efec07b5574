#include "base/parallel_for.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <vector>

namespace kovra {
namespace {

TEST(ForEachIndex, EveryIndexOnceWhateverTheThreads) {
  const struct {
    size_t count;
    unsigned workers;
  } cases[] = {{0, 4}, {1, 4}, {7, 0}, {7, 1}, {1000, 4}, {3, 16}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.count) + " on " + std::to_string(c.workers));
    std::vector<std::atomic<int>> calls(c.count);
    ForEachIndex(c.count, c.workers, [&](size_t i) { calls[i].fetch_add(1); });
    for (size_t i = 0; i < c.count; ++i)
      EXPECT_EQ(calls[i].load(), 1) << i;
  }
}

TEST(ForEachIndex, AFailureStopsTheRestAndIsRethrown) {
  // One thread: the indices after the failing one are never started.
  std::vector<int> ran;
  EXPECT_THROW(ForEachIndex(10, 1,
                            [&](size_t i) {
                              ran.push_back(static_cast<int>(i));
                              if (i == 3)
                                throw std::runtime_error("index 3");
                            }),
               std::runtime_error);
  EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3}));

  // Several threads, every call failing: one of the failures comes back.
  try {
    ForEachIndex(100, 4, [&](size_t) { throw std::invalid_argument("each"); });
    ADD_FAILURE() << "no exception";
  } catch (const std::invalid_argument& e) {
    EXPECT_STREQ(e.what(), "each");
  }
}

}  // namespace
}  // namespace kovra
