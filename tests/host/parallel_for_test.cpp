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

TEST(MapInOrder, ResultsInIndexOrderUpToTheFirstFailure) {
  for (const unsigned workers : {1u, 4u}) {
    SCOPED_TRACE(workers);
    std::vector<size_t> taken;
    const auto make = [](size_t i) {
      if (i == 20 || i == 35)
        throw std::runtime_error("at " + std::to_string(i));
      return i * 10;
    };
    try {
      MapInOrder<size_t>(50, workers, make, [&](size_t&& r) { taken.push_back(r); });
      ADD_FAILURE() << "no exception";
    } catch (const std::runtime_error& e) {
      EXPECT_STREQ(e.what(), "at 20");  // the first in order, whichever thread met it first
    }
    ASSERT_EQ(taken.size(), 20u);
    for (size_t i = 0; i < taken.size(); ++i)
      EXPECT_EQ(taken[i], i * 10);
  }
}

}  // namespace
}  // namespace kovra
