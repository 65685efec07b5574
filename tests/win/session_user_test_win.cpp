// Session and process users, account SIDs, process look-ups and token integrity against Wine's
// real processes and accounts.
#include <gtest/gtest.h>

#include <iostream>

#include "base/text.h"
#include "platform/files_info_win.h"
#include "platform/handles_win.h"
#include "platform/session_user_win.h"

namespace kovra::win {
namespace {

TEST(SessionUser, OwnersSidsAndIntegrity) {
  InitSessionLookups();
  EXPECT_FALSE(LegacySessionMode());
  const std::string me = ThreadUserName();
  ASSERT_FALSE(me.empty());
  EXPECT_EQ(GetProcessUserName(::GetCurrentProcessId()), me);
  EXPECT_EQ(GetProcessUserName(0xFFFFFFF0), "");  // no such process

  const std::string sid = GetAccountSidString(me);
  std::cout << "user " << me << " sid " << sid << "\n";
  EXPECT_TRUE(StartsWithTextAscii(sid, "S-1-5-")) << sid;
  EXPECT_EQ(GetAccountSidString("no-such-kovra-user"), "");

  // This very program is found by its image name, with and without its owner's name.
  EXPECT_EQ(FindProcessId("WIN_TESTS.EXE", ""), ::GetCurrentProcessId());
  EXPECT_EQ(FindProcessId("win_tests.exe", me), ::GetCurrentProcessId());
  EXPECT_EQ(FindProcessId("win_tests.exe", "someone-else"), 0u);
  EXPECT_EQ(FindProcessId("no-such-image.exe", ""), 0u);

  UniqueToken token = DuplicateProcessToken("win_tests.exe", "");
  ASSERT_TRUE(token.valid());
  const DWORD rid = GetTokenIntegrityRid(token.get());
  std::cout << "integrity rid " << std::hex << rid << std::dec << "\n";
  EXPECT_TRUE(rid == 0 || rid == 0x1000 || rid == 0x2000 || rid == 0x3000 || rid == 0x4000) << rid;
  EXPECT_EQ(GetTokenIntegrityRid(nullptr), 0u);
  EXPECT_FALSE(DuplicateProcessToken("no-such-image.exe", "").valid());

  // Wine's session facts: explorer.exe (when it runs) in the console session, and the
  // prefix's user as the session's user.
  const DWORD explorer = FindExplorerProcessId("");
  const DWORD session = GetInteractiveSessionId();
  const std::string session_user = GetSessionUserName();
  std::cout << "explorer pid " << explorer << " session " << session << " session user '"
            << session_user << "' sid " << GetSessionUserSid() << "\n";
  EXPECT_TRUE(session_user.empty() || SameTextAscii(session_user, me)) << session_user;
}

}  // namespace
}  // namespace kovra::win
