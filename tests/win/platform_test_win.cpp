// Registry views, folders, version resources, WOW64 and session facts against Wine's real
// registry, files and processes (a 64-bit prefix: the tests run under WOW64).
#include <gtest/gtest.h>

#include <map>

#include <shlobj.h>

#include <algorithm>

#include "base/text.h"
#include "platform/os_version_win.h"
#include "platform/path_frame_win.h"
#include "platform/files_info_win.h"
#include "platform/files_win.h"
#include "platform/folders.h"
#include "platform/handles_win.h"
#include "platform/registry_win.h"
#include "platform/session_user_win.h"
#include "platform/win_text_win.h"
#include "platform/wow64_win.h"
#include "own_view_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

constexpr wchar_t kTestKey[] = L"SOFTWARE\\KovraPlatformTest";

// Writes the test keys in the given view of HKLM\SOFTWARE.
UniqueHkey CreateKey(const std::wstring& path, REGSAM view) {
  return CreateTestKey(HKEY_LOCAL_MACHINE, path, view);
}

void SetValue(HKEY key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(::RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
}

class RegistryTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(InA64BitPrefix()) << "the tests expect a 64-bit prefix";
    UniqueHkey k64 = CreateKey(kTestKey, KEY_WOW64_64KEY);
    UniqueHkey k32 = CreateKey(kTestKey, KEY_WOW64_32KEY);
    SetValue(k64.get(), L"view", REG_SZ, L"64", 6);
    SetValue(k32.get(), L"view", REG_SZ, L"32", 6);
    UniqueHkey blanks = CreateKey(std::wstring(kTestKey) + L"\\ WOW6432NODE ", KEY_WOW64_64KEY);
    UniqueHkey child = CreateKey(std::wstring(kTestKey) + L"\\Child", KEY_WOW64_64KEY);
    const DWORD all_ones = 0xFFFFFFFF;
    SetValue(k64.get(), L"dword", REG_DWORD, &all_ones, 4);
    SetValue(k64.get(), L"empty", REG_BINARY, nullptr, 0);
    SetValue(k64.get(), L"multi", REG_MULTI_SZ, L"a\0", 6);
    const uint64_t q = 0x0102030405060708ull;
    SetValue(k64.get(), L"qword", REG_QWORD, &q, 8);
    SetValue(k64.get(), L"expand", REG_EXPAND_SZ, L"%TEMP%\\x", 18);
    const std::wstring long_text(1024, L'x');
    SetValue(k64.get(), L"long", REG_SZ, long_text.c_str(), 2 * 1025);
    const std::wstring fits(1023, L'y');
    SetValue(k64.get(), L"fits", REG_SZ, fits.c_str(), 2 * 1024);
    SetValue(k64.get(), L"", REG_SZ, L"default", 16);
  }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kTestKey);  // the 32-bit view
    UniqueHkey software;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE", 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY,
                        software.receive()) == ERROR_SUCCESS)
      ::RegDeleteTreeW(software.get(), L"KovraPlatformTest");
  }
};

TEST_F(RegistryTest, ViewsByPathAndEnumerationWithoutTheMirror) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\KovraPlatformTest"));
  EXPECT_EQ(reg.ReadString("view"), "64");
  EXPECT_EQ(reg.Access() & 0x0300u, 0x0100u);
  for (const char* path :
       {"\\SOFTWARE\\Wow6432Node\\KovraPlatformTest", "\\software\\WOW6432NODE\\KovraPlatformTest",
        "\\SOFTWARE\\wOw6432nOdE\\KovraPlatformTest"}) {
    ASSERT_TRUE(reg.OpenKey(path)) << path;
    EXPECT_EQ(reg.ReadString("view"), "32") << path;
    EXPECT_EQ(reg.Access() & 0x0300u, 0u);
  }
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\wOw6432nOdE\\KovraPlatformTest");

  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE"));
  StringList names;
  reg.GetKeyNames(names);
  EXPECT_FALSE(names.empty());
  for (const std::string& n : names)
    EXPECT_FALSE(SameTextAscii(n, "Wow6432Node")) << n;
  EXPECT_NE(std::find(names.begin(), names.end(), "KovraPlatformTest"), names.end());

  // A relative open goes on from the open key; the blank-padded mirror name is left out.
  ASSERT_TRUE(reg.OpenKey("KovraPlatformTest"));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\KovraPlatformTest");
  EXPECT_TRUE(reg.HasSubKeys());
  reg.GetKeyNames(names);
  EXPECT_EQ(names, StringList{"Child"});
  StringList values;
  reg.GetValueNames(values);
  EXPECT_NE(std::find(values.begin(), values.end(), ""), values.end());  // the default value
  EXPECT_NE(std::find(values.begin(), values.end(), "qword"), values.end());

  // Missing keys change nothing.
  EXPECT_FALSE(reg.OpenKey("\\SOFTWARE\\NoSuchKovraKey"));
  EXPECT_EQ(reg.CurrentPath(), "SOFTWARE\\KovraPlatformTest");
}

TEST_F(RegistryTest, ValueTextsAndErrors) {
  TRegistry reg(KEY_READ);
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKey("SOFTWARE\\KovraPlatformTest"));
  EXPECT_EQ(reg.ReadValueText("dword"), "dword:FFFFFFFF");
  EXPECT_EQ(reg.ReadValueText("empty"), "");
  EXPECT_EQ(reg.ReadValueText("multi"), "hex:61,00,00,00,00,00");
  EXPECT_EQ(reg.ReadValueText("qword"), "hex:08,07,06,05,04,03,02,01");
  EXPECT_EQ(reg.ReadValueText("expand"), "%TEMP%\\x");
  // A text longer than 1023 characters is read whole.
  EXPECT_EQ(reg.ReadValueText("long"), std::string(1024, 'x'));
  EXPECT_EQ(reg.ReadString("long"), std::string(1024, 'x'));
  EXPECT_EQ(reg.ReadString("fits"), std::string(1023, 'y'));
  EXPECT_EQ(reg.ReadValueText("missing"), "");
  EXPECT_EQ(reg.ReadValueText(""), "default");
  EXPECT_EQ(reg.GetDataType("dword"), RegDataKind::Integer);
  EXPECT_EQ(reg.GetDataType("multi"), RegDataKind::Unknown);
  EXPECT_EQ(reg.GetDataType("missing"), RegDataKind::Unknown);
  EXPECT_EQ(reg.GetDataSize("missing"), -1);
  EXPECT_EQ(reg.GetDataSize("qword"), 8);
  EXPECT_EQ(reg.ReadDword("dword"), 0xFFFFFFFFu);
  try {
    reg.ReadString("dword");
    ADD_FAILURE() << "no exception";
  } catch (const ERegistryException& e) {
    EXPECT_STREQ(e.what(), "Invalid data type for 'dword'");
  }
  char small[4];
  EXPECT_THROW(reg.ReadBinaryData("qword", small, 4), ERegistryException);
  EXPECT_EQ(reg.ReadBinaryData("missing", small, 4), 0);
}

TEST_F(RegistryTest, ReadOnlyOpenStaysReadOnly) {
  TRegistry reg;  // KEY_ALL_ACCESS
  reg.SetRootKey(HKEY_LOCAL_MACHINE);
  ASSERT_TRUE(reg.OpenKeyReadOnly("SOFTWARE\\KovraPlatformTest"));
  EXPECT_EQ(reg.Access(), static_cast<DWORD>(KEY_READ | KEY_WOW64_64KEY));
  ASSERT_TRUE(reg.OpenKey("\\SOFTWARE\\Wow6432Node\\KovraPlatformTest"));
  EXPECT_EQ(reg.Access(), static_cast<DWORD>(KEY_READ));
  EXPECT_EQ(reg.ReadString("view"), "32");
  // Changing the root closes the key.
  reg.SetRootKey(HKEY_CURRENT_USER);
  EXPECT_EQ(reg.CurrentKey(), nullptr);
  EXPECT_EQ(reg.CurrentPath(), "");
}

std::string TestProgram(const std::string& name) {
  return ExeFolder() + name;
}

TEST(FileFacts, VersionTextsOfTestPrograms) {
  EXPECT_EQ(
      GetFileVersionText(TestProgram("version_none.exe"), VersionField::kFileVersion, "Unknown"),
      "Unknown");
  EXPECT_EQ(GetFileVersionText(TestProgram("missing.exe"), VersionField::kFileVersion, "Unknown"),
            "Unknown");
  const std::string no_version = TestProgram("version_no_fileversion.exe");
  EXPECT_EQ(GetFileVersionText(no_version, VersionField::kFileVersion, "Unknown"), "");
  EXPECT_EQ(GetFileVersionText(no_version, static_cast<VersionField>(11), "Unknown"), "");
  EXPECT_EQ(GetFileVersionText(no_version, VersionField::kCompanyName, "Unknown"), "Kovra Test Co");
  EXPECT_EQ(GetFileVersionText(no_version, VersionField::kExtra, "Unknown"), "wow text");
  TFileInfo info;
  ASSERT_TRUE(ReadFileInfo(no_version, info, ""));
  EXPECT_EQ(info.Fixed[0], 0xFEEF04BDu);
  EXPECT_EQ(info.Fixed[2], 0x00020003u);
  EXPECT_EQ(info.Fixed[3], 0x00040005u);
  // The translation names a missing table: the first table there is gives the texts.
  EXPECT_EQ(GetFileVersionText(TestProgram("version_other_table.exe"), VersionField::kFileVersion,
                               "Unknown"),
            "7.0.0.1");
  EXPECT_EQ(GetFileVersionText(TestProgram("version_other_table.exe"), VersionField::kProductName,
                               "Unknown"),
            "Other Table");
  // The tool itself, as the Version: line reads it.
  EXPECT_EQ(GetFileVersionText(ExeFolder() + "..\\GetKovraInfo.exe", VersionField::kFileVersion,
                               "Unknown"),
            "1.0.0.0");
}

TEST(FileFacts, FolderSizeCountsPlainSubFoldersOnly) {
  const std::string root =
      TempFolder() + "kovra-size-" + std::to_string(::GetCurrentProcessId()) + "\\";
  ShellRemoveFolder(root);
  ASSERT_TRUE(ForceDirectories(root + "Data\\plain"));
  ASSERT_TRUE(ForceDirectories(root + "Data\\hidden"));
  WriteFileBytes(root + "Data\\ten.bin", std::string(10, 'x'));
  WriteFileBytes(root + "Data\\plain\\five.bin", std::string(5, 'x'));
  WriteFileBytes(root + "Data\\hidden\\seven.bin", std::string(7, 'x'));
  ::SetFileAttributesW(Widen(root + "Data\\hidden").c_str(),
                       FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(GetFolderSize(root + "Data\\*.*"), 15u);
  EXPECT_EQ(GetFolderSize(root + "Data\\ten.bin"), 10u);
  EXPECT_EQ(GetFolderSize(root + "Data\\missing.bin"), 0u);
  EXPECT_EQ(GetFolderSize(root + "Data\\*.none"), 0u);
  ShellRemoveFolder(root);
}

TEST(Folders, SystemAnswersUnderWine) {
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
  EXPECT_EQ(GetSystemDriveRoot(), "C:\\");
  EXPECT_TRUE(EndsWithTextAscii(GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY), "\\Desktop"));
  // Under WOW64 the program files folder of the 32-bit view.
  EXPECT_EQ(GetSpecialFolder(nullptr, CSIDL_PROGRAM_FILES), "C:\\Program Files (x86)");
  EXPECT_EQ(GetAppDataFallback(false), frame.AppDataPath);
  EXPECT_EQ(GetAppDataFallback(true), frame.CommonAppDataPath);
}

TEST(SystemFacts, Wow64AndGenerationAgreeWithTheSystem) {
  EXPECT_TRUE(IsWow64());
  InitWow64Redirection();
  void* old = nullptr;
  ASSERT_TRUE(DisableWow64FsRedirection(&old));
  EXPECT_TRUE(RevertWow64FsRedirection(old));
  {
    ScopedWow64RedirectionOff off;
    EXPECT_TRUE(off.active());
  }

  // The generation of the version the system's own version key names.
  wchar_t version[32] = {};
  DWORD size = sizeof version - sizeof(wchar_t);
  ASSERT_EQ(::RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion",
                           L"CurrentVersion", RRF_RT_REG_SZ, nullptr, version, &size),
            ERROR_SUCCESS);
  const std::map<std::wstring, int> generations = {
      {L"6.0", 6}, {L"6.1", 7}, {L"6.2", 8}, {L"6.3", 8}, {L"10.0", 10}};
  ASSERT_TRUE(generations.count(version)) << Narrow(version);
  EXPECT_EQ(static_cast<int>(GetOSGeneration()), generations.at(version));
  SYSTEM_INFO si;
  ::GetNativeSystemInfo(&si);
  EXPECT_EQ(si.wProcessorArchitecture, PROCESSOR_ARCHITECTURE_AMD64);
}

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
