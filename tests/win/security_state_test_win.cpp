// The security section under Wine, which has no Security Center.
#include <gtest/gtest.h>

#include <iostream>

#include "base/string_list.h"
#include "base/text.h"
#include "collectors/system/security_state_win.h"
#include "test_run_log_win.h"

namespace kovra::win {
namespace {

TEST(SecurityState, TheThreeHeadersThenTheFirewallBlock) {
  // Wine has no Security Center: the three headers, then the firewall block.
  StringList security;
  ListSecurityState(security, TestRunLog().Log());
  for (const std::string& l : security)
    std::cout << l << "\n";
  ASSERT_EQ(security.size(), 11u);
  EXPECT_EQ(security, (StringList{"[AntiVirusProduct]", "", "[AntiSpywareProduct]", "",
                                  "[FirewallProduct]", "", "[Windows FireWall]", security[7],
                                  security[8], security[9], security[10]}));
  EXPECT_TRUE(StartsWithTextAscii(security[7], "HomeNetFwEnabled="));
  EXPECT_TRUE(StartsWithTextAscii(security[8], "PublicNetFwEnabled="));
  EXPECT_EQ(security[9], "FireWallEnabled=False");  // Wine's policy says so
  EXPECT_TRUE(security[10] == "FwObj=valid" || security[10] == "FwObj=nil") << security[10];
}

}  // namespace
}  // namespace kovra::win
