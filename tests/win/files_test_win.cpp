// The file and folder helpers (platform/files_win) against Wine's real file system.
#include <gtest/gtest.h>

#include "base/string_list.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(Files, ForceDirectoriesAndShellRemoval) {
  const std::string root = ScratchFolder(ScratchState::kGone, "test", "force");
  const std::string deep = root + "a\\b\\c";
  ASSERT_TRUE(ForceDirectories(deep));
  EXPECT_TRUE(DirectoryExists(deep));
  WriteFileBytes(deep + "\\x.txt", "hello");
  WriteFileBytes(root + "a\\hidden.txt", "h");
  ::SetFileAttributesW(Widen(root + "a\\hidden.txt").c_str(), FILE_ATTRIBUTE_HIDDEN);
  EXPECT_EQ(ReadFileBytes(deep + "\\x.txt"), "hello");
  EXPECT_TRUE(RemoveTreeNoFollow(root));  // a trailing backslash is fine
  EXPECT_FALSE(DirectoryExists(root));
}

TEST(Files, ListFileIsSavedAsUtf16LeWithBom) {
  const std::string root = ScratchFolder(ScratchState::kGone, "test", "list");
  ASSERT_TRUE(ForceDirectories(root));
  const std::string path = root + "\xC3\xA9t\xC3\xA9.txt";
  WriteFileBytes(path, EncodeListUtf16Le({"Version:1", "a\r\nb"}));
  EXPECT_TRUE(FileExists(path));
  EXPECT_FALSE(DirectoryExists(path));
  EXPECT_EQ(ReadFileBytes(path), EncodeListUtf16Le({"Version:1", "a\r\nb"}));
  (void)RemoveTreeNoFollow(root);
}

TEST(Files, WriteFailureIsAnError) {
  const std::string root = ScratchFolder(ScratchState::kGone, "test", "fail");
  EXPECT_THROW(WriteFileBytes(root + "missing\\x.txt", "x"), std::runtime_error);
  EXPECT_THROW(ReadFileBytes(root + "missing.txt"), std::runtime_error);
}

TEST(Files, ExecutableFolderAndFullPath) {
  const std::string exe = ExePath();
  EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
  EXPECT_EQ(ExeFolder(), exe.substr(0, exe.find_last_of('\\') + 1));
  EXPECT_EQ(FullPathName("C:\\a\\..\\b\\nf_logs_0.log"), "C:\\b\\nf_logs_0.log");
  EXPECT_EQ(TempFolder().back(), '\\');
}

}  // namespace
}  // namespace kovra::win
