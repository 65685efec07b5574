// The WOW64 queries and the file-system redirection switch under Wine (a 64-bit prefix: the
// tests run under WOW64).
#include <gtest/gtest.h>

#include "platform/wow64_win.h"

namespace kovra::win {
namespace {

TEST(Wow64, RedirectionSwitchesUnderWine) {
  EXPECT_TRUE(IsWow64());
  InitWow64Redirection();
  void* old = nullptr;
  ASSERT_TRUE(DisableWow64FsRedirection(&old));
  EXPECT_TRUE(RevertWow64FsRedirection(old));
  {
    ScopedWow64RedirectionOff off;
    EXPECT_TRUE(off.active());
  }
  SYSTEM_INFO si;
  ::GetNativeSystemInfo(&si);
  EXPECT_EQ(si.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
}

}  // namespace
}  // namespace kovra::win
