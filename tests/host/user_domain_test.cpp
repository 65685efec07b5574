#include "platform/user_domain.h"

#include <gtest/gtest.h>

#include <cctype>

namespace kovra {
namespace {

std::string AsciiUpper(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return out;
}

// Every combination of the three facts: the user's token wins; without it the profile or the
// user's ownership keeps the folder; otherwise the default place is taken.
TEST(UserDomain, FolderUseForEveryCombinationOfFacts) {
  struct Case {
    bool token, inside, owned;
    UserFolderUse use;
  };
  const Case cases[] = {
      {true, false, false, UserFolderUse::kAsUser},   {true, true, true, UserFolderUse::kAsUser},
      {true, false, true, UserFolderUse::kAsUser},    {false, true, false, UserFolderUse::kAsNamed},
      {false, false, true, UserFolderUse::kAsNamed},  {false, true, true, UserFolderUse::kAsNamed},
      {false, false, false, UserFolderUse::kDefault},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(DecideUserFolderUse({c.token, c.inside, c.owned}), c.use)
        << c.token << c.inside << c.owned;
  }
}

// "Desktop" or "Start Menu" moved out of the profile by the user's registry, on a machine
// without the user's token: judged by where the folder lies and who owns it.
TEST(UserDomain, FoldersNamedOutsideTheProfile) {
  const std::string profile = "C:\\Users\\anna";
  struct Case {
    const char* named;
    bool owned;
    UserFolderUse use;
  };
  const Case cases[] = {
      {"C:\\Users\\anna\\Desktop", false, UserFolderUse::kAsNamed},
      {"c:\\users\\ANNA\\AppData\\Roaming\\Microsoft\\Windows\\Start Menu", false,
       UserFolderUse::kAsNamed},
      {"C:\\windows", false, UserFolderUse::kDefault},
      {"C:\\Users\\anna2\\Desktop", false, UserFolderUse::kDefault},
      {"C:\\Users\\anna\\..\\bob\\Desktop", false, UserFolderUse::kDefault},
      {"D:\\Data\\Desktop", true, UserFolderUse::kAsNamed},
      {"\\\\server\\share\\anna", false, UserFolderUse::kDefault},
  };
  for (const Case& c : cases) {
    const UserFolderFacts facts{false, PathInsideFolder(c.named, profile, &AsciiUpper), c.owned};
    EXPECT_EQ(DecideUserFolderUse(facts), c.use) << c.named;
  }
}

TEST(UserDomain, PathInsideFolderComparesWholeComponents) {
  struct Case {
    const char* path;
    const char* folder;
    bool inside;
  };
  const Case cases[] = {
      {"C:\\Users\\anna", "C:\\Users\\anna", true},
      {"C:\\Users\\anna\\", "C:\\Users\\anna", true},
      {"C:\\Users\\anna\\Temp\\x.txt", "c:\\users\\ANNA\\", true},
      {"C:/Users/anna/Temp", "C:\\Users\\anna", true},
      {"C:\\Users\\annabel", "C:\\Users\\anna", false},
      {"C:\\Users", "C:\\Users\\anna", false},
      {"C:\\Users\\anna\\..\\bob", "C:\\Users\\anna", false},
      {"C:\\Users\\anna\\.\\x", "C:\\Users\\anna", false},
      {"C:\\anything", "", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(PathInsideFolder(c.path, c.folder, &AsciiUpper), c.inside) << c.path;
}

TEST(UserDomain, DefaultTempFolderAndTheNote) {
  EXPECT_EQ(DefaultTempFolder("C:\\Users\\anna", "C:\\Users\\anna\\AppData\\Local\\", 10),
            "C:\\Users\\anna\\AppData\\Local\\Temp\\");
  EXPECT_EQ(DefaultTempFolder("C:\\Documents and Settings\\anna", "ignored", 5),
            "C:\\Documents and Settings\\anna\\Local Settings\\Temp\\");
  EXPECT_EQ(DefaultTempFolder("C:\\Users\\anna", "", 6), "");
  EXPECT_EQ(DefaultTempFolder("", "C:\\x", 5), "");
  EXPECT_EQ(UserFolderFallbackNote("C:\\windows", "C:\\Users\\anna\\Desktop"),
            "C:\\windows lies outside the user's profile and belongs to someone else; used "
            "instead: C:\\Users\\anna\\Desktop");
}

}  // namespace
}  // namespace kovra
