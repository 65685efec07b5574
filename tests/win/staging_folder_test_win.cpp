// The staging folder, tree removal and names planted where the tool writes: each case plants
// what another program with the user's rights could (a hard link, a link to a folder) and
// checks that the file or folder it leads to is left as it was.
#include "platform/staging_folder_win.h"

#include <gtest/gtest.h>

#include "platform/files_win.h"
#include "platform/optional_function_win.h"
#include "platform/planted_names_win.h"
#include "test_run_log_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

// A link to a folder where the system can make one (Wine makes a Unix link); false otherwise.
bool MakeFolderLink(const std::string& link, const std::string& target) {
  using Fn = BOOLEAN(WINAPI*)(LPCWSTR, LPCWSTR, DWORD);
  const auto create = SystemFunction<Fn>(L"kernel32.dll", "CreateSymbolicLinkW");
  return create != nullptr && create(Widen(link).c_str(), Widen(target).c_str(), 1) != 0 &&
         InspectName(link) == NameKind::kLink;
}

std::string NotesOf(TestRunLog& run) {
  std::string all;
  for (const RunEntry& e : run.log.Entries())
    all += e.detail + "\n";
  return all;
}

TEST(PlantedNames, WritingRemovingAndReadingLeaveWhatALinkLeadsTo) {
  const std::string dir = ScratchFolder(ScratchState::kEmpty, "planted");
  const std::string outside = ScratchFolder(ScratchState::kEmpty, "planted-outside");
  const std::string target = outside + "precious.txt";
  WriteFileBytes(target, "precious");
  ASSERT_TRUE(::CreateHardLinkW(Widen(dir + "hard.txt").c_str(), Widen(target).c_str(), nullptr));
  EXPECT_EQ(InspectName(dir + "hard.txt"), NameKind::kHardLink);
  EXPECT_EQ(InspectName(target), NameKind::kHardLink);
  EXPECT_EQ(InspectName(outside), NameKind::kFolder);
  EXPECT_EQ(InspectName(dir + "none"), NameKind::kAbsent);

  // A second name is not read as a file of its folder.
  EXPECT_THROW(OpenPlainFileForReading(Widen(dir + "hard.txt"), FILE_SHARE_READ, 0),
               PlantedNameError);
  // Writing at the name replaces the name; the other name keeps its bytes.
  WriteFileBytes(dir + "hard.txt", "written");
  EXPECT_EQ(ReadFileBytes(dir + "hard.txt"), "written");
  EXPECT_EQ(ReadFileBytes(target), "precious");

  // Clearing a name for writing removes a planted second name and notes it.
  ASSERT_TRUE(::CreateHardLinkW(Widen(dir + "again.txt").c_str(), Widen(target).c_str(), nullptr));
  TestRunLog run;
  run.log.Step("write", [&] { ClearNameForWriting(dir + "again.txt", run.log); });
  EXPECT_EQ(InspectName(dir + "again.txt"), NameKind::kAbsent);
  EXPECT_NE(NotesOf(run).find("a second name of another file stood at this name; removed"),
            std::string::npos)
      << NotesOf(run);

  if (MakeFolderLink(dir + "linked", outside)) {
    WriteFileBytes(dir + "linked", "a file now");  // a link to a folder at a file's name
    EXPECT_EQ(ReadFileBytes(dir + "linked"), "a file now");
  }
  EXPECT_EQ(ReadFileBytes(target), "precious");
  (void)RemoveTreeNoFollow(dir);
  (void)RemoveTreeNoFollow(outside);
}

TEST(StagingFolder, MadeFreshHeldAndRemovedWithoutFollowingLinks) {
  const std::string base = ScratchFolder(ScratchState::kEmpty, "staging");
  const std::string outside = ScratchFolder(ScratchState::kEmpty, "staging-outside");
  WriteFileBytes(outside + "keep.txt", "keep");
  const std::string folder = base + "GetInfoDir\\";

  // An earlier run's folder holding a hard link and a link to a folder outside.
  ASSERT_TRUE(ForceDirectories(folder + "sub"));
  WriteFileBytes(folder + "sub\\old.txt", "old");
  ASSERT_TRUE(::CreateHardLinkW(Widen(folder + "hard.txt").c_str(),
                                Widen(outside + "keep.txt").c_str(), nullptr));
  const bool folder_links = MakeFolderLink(folder + "linked", outside);

  TestRunLog run;
  std::optional<StagingFolder> staging;
  run.log.Step("make", [&] { staging = StagingFolder::Create(folder, run.log); });
  ASSERT_TRUE(staging.has_value()) << NotesOf(run);
  EXPECT_EQ(staging->path(), folder);
  EXPECT_FALSE(FileExists(folder + "sub\\old.txt"));
  EXPECT_EQ(ReadFileBytes(outside + "keep.txt"), "keep");

  // Held: neither removed nor renamed by anyone else while the run has it.
  EXPECT_FALSE(::RemoveDirectoryW(Widen(base + "GetInfoDir").c_str()));
  EXPECT_FALSE(::MoveFileW(Widen(base + "GetInfoDir").c_str(), Widen(base + "moved").c_str()));

  WriteFileBytes(folder + "Kovra_Debug_Info.txt", "info");
  if (folder_links) {
    ASSERT_TRUE(MakeFolderLink(folder + "linked", outside));
  }
  EXPECT_TRUE(staging->Remove());
  EXPECT_FALSE(DirectoryExists(folder));
  EXPECT_EQ(ReadFileBytes(outside + "keep.txt"), "keep");

  // A link planted at the staging folder's own name is removed itself, and noted.
  if (folder_links) {
    ASSERT_TRUE(MakeFolderLink(base + "GetInfoDir", outside));
    TestRunLog planted;
    planted.log.Step("make", [&] { staging = StagingFolder::Create(folder, planted.log); });
    ASSERT_TRUE(staging.has_value()) << NotesOf(planted);
    EXPECT_NE(NotesOf(planted).find("a link stood at this name; removed"), std::string::npos);
    EXPECT_EQ(InspectName(base + "GetInfoDir"), NameKind::kFolder);
    EXPECT_EQ(ReadFileBytes(outside + "keep.txt"), "keep");
    EXPECT_TRUE(staging->Remove());
  }
  (void)RemoveTreeNoFollow(base);
  (void)RemoveTreeNoFollow(outside);
}

}  // namespace
}  // namespace kovra::win
