// The path frame (TAppFrame) against Wine's real shell folders (a 64-bit prefix: the tests run
// under WOW64).
#include <gtest/gtest.h>

#include "platform/files_win.h"
#include "platform/folders.h"
#include "platform/path_frame_win.h"

namespace kovra::win {
namespace {

TEST(PathFrame, SystemAnswersUnderWine) {
  const TAppFrame frame;
  EXPECT_FALSE(frame.AppDataPath.empty());
  EXPECT_FALSE(frame.CommonAppDataPath.empty());
  EXPECT_EQ(frame.GetSystemPath(SystemFolder::kNoFolder), "");
  EXPECT_EQ(frame.GetSystemPath(static_cast<SystemFolder>(36)), "");
  EXPECT_EQ(frame.GetCommonPath(13), "");
  EXPECT_EQ(frame.GetSystemPath(SystemFolder::kLocalAppData),
            frame.GetSystemPath(SystemFolder::kLocalAppDataAgain));
  EXPECT_EQ(frame.GetCommonPath(3), frame.GetCommonPath(5));
  EXPECT_EQ(frame.GetSystemPath(SystemFolder::kTemp), TempFolder());
  EXPECT_EQ(frame.GetSystemPath(SystemFolder::kAppData), frame.AppDataPath);
  EXPECT_EQ(frame.GetSystemPath(SystemFolder::kCommonAppData), frame.CommonAppDataPath);
}

}  // namespace
}  // namespace kovra::win
