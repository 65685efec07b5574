#include "base/date_text.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(DateText, YmdOfValidDatesAndZeroOtherwise) {
  const struct {
    int year, month, day;
    const char* text;
  } cases[] = {{2026, 12, 9, "20261209"}, {987, 1, 31, "09870131"}, {2024, 2, 29, "20240229"},
               {2023, 2, 29, "0"},        {2023, 13, 1, "0"},       {2023, 4, 31, "0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day);
    EXPECT_EQ(FormatDateYmd(c.year, c.month, c.day), c.text);
  }
}

TEST(DateText, MidnightLeavesOutTheTime) {
  EXPECT_EQ(JoinDateAndTime("09.12.2026", "07:31:47", false), "09.12.2026 07:31:47");
  EXPECT_EQ(JoinDateAndTime("09.12.2026", "00:00:00", true), "09.12.2026");
}

}  // namespace
}  // namespace kovra
