#include "platform/user_domain_win.h"

#include <gtest/gtest.h>

#include "platform/files_win.h"
#include "platform/win_text_win.h"

namespace kovra::win {
namespace {

// Wine has no split logon (no shell runs with an unelevated token): the folders are used as named,
// the run's own folders are not the user's, and acting as the user changes nothing.
TEST(UserDomainUnderWine, FoldersAsNamedAndTheRunsOwnFoldersApart) {
  wchar_t raw[MAX_PATH + 1] = {};
  ASSERT_GT(::GetTempPathW(MAX_PATH, raw), 0u);
  EXPECT_EQ(TempFolder(), Narrow(raw));
  EXPECT_FALSE(ThisUser().unelevated.valid());
  EXPECT_FALSE(ThisUser().profile.empty());
  // At most the note of the missing token: every folder is used as named.
  for (const std::string& note : UserFolderNotes())
    EXPECT_EQ(note.rfind("no unelevated token: ", 0), 0u) << note;
  EXPECT_TRUE(InUserDomain(TempFolder() + "InfoVersion.txt"));
  EXPECT_TRUE(InUserDomain(ExeFolder() + "info.data"));
  EXPECT_FALSE(InUserDomain(TempFolder() + "GetInfoDir\\Kovra_Debug_Info.txt"));
  EXPECT_FALSE(InUserDomain("C:\\windows\\system32\\config\\SAM"));
  {
    const ScopedUserAccess access(TempFolder() + "x");
    HANDLE token = nullptr;
    EXPECT_FALSE(::OpenThreadToken(::GetCurrentThread(), TOKEN_QUERY, TRUE, &token));
  }
}

}  // namespace
}  // namespace kovra::win
