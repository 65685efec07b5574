#include "app/report_path.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(ReportFolder, OwnerReplacedBySessionUserBetweenBackslashes) {
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\admin\\Desktop", "anna", "admin"),
            "C:\\Users\\anna\\Desktop");
  // The search ignores case; every occurrence is replaced.
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\ADMIN\\x\\Admin\\Desktop", "anna", "admin"),
            "C:\\Users\\anna\\x\\anna\\Desktop");
}

TEST(ReportFolder, LeftUnchanged) {
  // Same user in another letter case.
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\Admin\\Desktop", "ADMIN", "admin"),
            "C:\\Users\\Admin\\Desktop");
  // Owner name not between backslashes: a prefix, a suffix, or at the end without a backslash.
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\administrator\\Desktop", "anna", "admin"),
            "C:\\Users\\administrator\\Desktop");
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\myadmin\\Desktop", "anna", "admin"),
            "C:\\Users\\myadmin\\Desktop");
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\admin", "anna", "admin"), "C:\\Users\\admin");
  // Unknown names.
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\admin\\Desktop", "", "admin"),
            "C:\\Users\\admin\\Desktop");
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\admin\\Desktop", "anna", ""),
            "C:\\Users\\admin\\Desktop");
}

TEST(ReportFolder, CaseIgnoredOnlyForAsciiLetters) {
  // Non-ASCII letters compare exactly: "Ä" and "ä" are different names.
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\\xC3\x84nna\\Desktop", "bob", "\xC3\xA4nna"),
            "C:\\Users\\\xC3\x84nna\\Desktop");
  EXPECT_EQ(AdjustReportFolder("C:\\Users\\\xC3\xA4nna\\Desktop", "bob", "\xC3\xA4NNA"),
            "C:\\Users\\bob\\Desktop");
}

TEST(ReportFileName, DateTextAndName) {
  EXPECT_EQ(FormatDateYmd(2026, 12, 9), "20261209");
  EXPECT_EQ(FormatDateYmd(987, 1, 31), "09870131");
  EXPECT_EQ(FormatDateYmd(2024, 2, 29), "20240229");
  EXPECT_EQ(FormatDateYmd(2023, 2, 29), "0");
  EXPECT_EQ(FormatDateYmd(2023, 13, 1), "0");
  EXPECT_EQ(FormatDateYmd(2023, 4, 31), "0");
  EXPECT_EQ(ReportFileName("C:\\Users\\anna\\Desktop", "20261209"),
            "C:\\Users\\anna\\Desktop\\nf_logs_20261209.log");
  EXPECT_EQ(ReportFileName("C:\\", "0"), "C:\\nf_logs_0.log");
}

TEST(DateLine, MidnightLeavesOutTheTime) {
  EXPECT_EQ(JoinDateAndTime("09.12.2026", "07:31:47", false), "09.12.2026 07:31:47");
  EXPECT_EQ(JoinDateAndTime("09.12.2026", "00:00:00", true), "09.12.2026");
}

}  // namespace
}  // namespace kovra
