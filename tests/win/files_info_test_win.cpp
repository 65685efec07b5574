// Version resources, folder sizes, special folders and the system generation against Wine's
// real files, shell folders and version key (a 64-bit prefix: the tests run under WOW64).
#include <gtest/gtest.h>

#include <map>

#include <shlobj.h>

#include "base/text.h"
#include "platform/files_info_win.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/path_frame_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

std::string TestProgram(const std::string& name) {
  return ExeFolder() + name;
}

TEST(FilesInfo, VersionTextsOfTestPrograms) {
  const struct {
    std::string file;
    VersionField field;
    const char* text;
    const char* why;
  } cases[] = {
      {"version_none.exe", VersionField::kFileVersion, "Unknown", "no version resource"},
      {"missing.exe", VersionField::kFileVersion, "Unknown", "no file"},
      {"version_no_fileversion.exe", VersionField::kFileVersion, "", "no FileVersion key"},
      {"version_no_fileversion.exe", static_cast<VersionField>(11), "", "no such field"},
      {"version_no_fileversion.exe", VersionField::kCompanyName, "Kovra Test Co", ""},
      {"version_no_fileversion.exe", VersionField::kExtra, "wow text", ""},
      // The translation names a missing table: the first table there is gives the texts.
      {"version_other_table.exe", VersionField::kFileVersion, "7.0.0.1", "other table"},
      {"version_other_table.exe", VersionField::kProductName, "Other Table", "other table"},
      // The tool itself, as the Version: line reads it.
      {"..\\GetKovraInfo.exe", VersionField::kFileVersion, "1.0.0.0", "the tool"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message()
                 << c.file << " field " << static_cast<int>(c.field) << " " << c.why);
    EXPECT_EQ(GetFileVersionText(TestProgram(c.file), c.field, "Unknown"), c.text);
  }
  TFileInfo info;
  ASSERT_TRUE(ReadFileInfo(TestProgram("version_no_fileversion.exe"), info, ""));
  EXPECT_EQ(info.Fixed[0], 0xFEEF04BDu);
  EXPECT_EQ(info.Fixed[2], 0x00020003u);
  EXPECT_EQ(info.Fixed[3], 0x00040005u);
}

TEST(FilesInfo, FolderSizeCountsPlainSubFoldersOnly) {
  const std::string root =
      TempFolder() + "kovra-size-" + std::to_string(::GetCurrentProcessId()) + "\\";
  (void)RemoveTreeNoFollow(root);
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
  (void)RemoveTreeNoFollow(root);
}

TEST(FilesInfo, ToolCarriesItsVersionAndTestProgramDoesNot) {
  // The tool sits in the build folder, one level above the test programs.
  const std::string tool = ExeFolder() + "..\\GetKovraInfo.exe";
  ASSERT_TRUE(FileExists(tool));
  EXPECT_EQ(GetFileVersionText(tool, VersionField::kFileVersion, "Unknown"), "1.0.0.0");
  EXPECT_EQ(GetFileVersionText(tool, VersionField::kProductName, "Unknown"),
            "Kovra support-data tool");
  EXPECT_EQ(GetFileVersionText(tool, VersionField::kComments, "Unknown"), "");  // no Comments key
  EXPECT_EQ(GetFileVersionText(ExePath(), VersionField::kFileVersion, "Unknown"), "Unknown");
  EXPECT_EQ(GetFileVersionText("C:\\no\\such.exe", VersionField::kFileVersion, "Unknown"),
            "Unknown");
}

// The special folders; the fallbacks are the folders the path frame holds.
TEST(FilesInfo, SpecialFoldersUnderWine) {
  const TAppFrame frame;
  EXPECT_EQ(GetSystemDriveRoot(), "C:\\");
  EXPECT_TRUE(EndsWithTextAscii(GetSpecialFolder(nullptr, CSIDL_DESKTOPDIRECTORY), "\\Desktop"));
  // Under WOW64 the program files folder of the 32-bit view.
  EXPECT_EQ(GetSpecialFolder(nullptr, CSIDL_PROGRAM_FILES), "C:\\Program Files (x86)");
  EXPECT_EQ(GetAppDataFallback(false), frame.AppDataPath);
  EXPECT_EQ(GetAppDataFallback(true), frame.CommonAppDataPath);
}

TEST(FilesInfo, GenerationAgreesWithTheSystem) {
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
}

}  // namespace
}  // namespace kovra::win
