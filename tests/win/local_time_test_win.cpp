// The local date and time texts under Wine.
#include <gtest/gtest.h>

#include <string>

#include "platform/local_time_win.h"

namespace kovra::win {
namespace {

TEST(LocalTime, RegionalFormatsAndReportDate) {
  const std::string ymd = TodayYmd();
  ASSERT_EQ(ymd.size(), 8u);
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  EXPECT_EQ(std::stoi(ymd.substr(0, 4)), st.wYear);
  EXPECT_FALSE(LocalDateTimeText().empty());
}

}  // namespace
}  // namespace kovra::win
