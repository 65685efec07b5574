#include "collectors/system/security_state.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(SecurityState, ProductGroupsAndFirewallLines) {
  EXPECT_EQ(SecurityProductGroup("Defender", "397568"),
            (StringList{"", "Name:Defender", "Enabled=True(00061100)", "UptoDate=True"}));
  EXPECT_EQ(SecurityProductGroup("Other", "393232"),
            (StringList{"", "Name:Other", "Enabled=False(00060010)", "UptoDate=False"}));
  EXPECT_EQ(SecurityProductGroup("Odd", "n/a")[2], "Enabled=False(00000000)");
  EXPECT_EQ(OldSecurityProductGroup("Old", "True", ""),
            (StringList{"", "Name:Old", "Enabled=True", "UptoDate="}));
  EXPECT_EQ(FirewallStateLines(false, true, false, false),
            (StringList{"HomeNetFwEnabled=False", "PublicNetFwEnabled=True",
                        "FireWallEnabled=False", "FwObj=nil"}));
}

}  // namespace
}  // namespace kovra
