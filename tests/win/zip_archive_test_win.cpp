// The report archive writer (archive/zip_archive_win) against Wine's real file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <iostream>
#include <set>

#include "archive/archive_names.h"
#include "archive/zip_archive_win.h"
#include "archive/zip_reader.h"
#include "platform/file_walk_win.h"
#include "platform/files_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(ZipArchive, ExpandsEntriesOnceAndPassesOverWhatItCannotTake) {
  const std::string root = ScratchFolder(ScratchState::kEmpty, "pack", "expand");
  Put(root + "a.txt", "a");
  Put(root + "b.log", "b");
  Put(root + "empty.txt", "");
  Put(root + "hidden.txt", "h", FILE_ATTRIBUTE_HIDDEN);
  Put(root + "system.txt", "s", FILE_ATTRIBUTE_SYSTEM);
  ASSERT_TRUE(ForceDirectories(root + "sub\\deeper"));
  Put(root + "sub\\c.txt", "c");
  Put(root + "sub\\deeper\\d.lnk", "d");
  ASSERT_TRUE(ForceDirectories(root + "hiddendir"));
  Put(root + "hiddendir\\e.txt", "e");
  ::SetFileAttributesW(Widen(root + "hiddendir").c_str(), FILE_ATTRIBUTE_HIDDEN);
  const std::string zip = ScratchFolder(ScratchState::kEmpty, "pack", "expand-out") + "out.zip";

  const StringList entries = {
      "",           root + "missing.txt", root + "sub\\c.txt", root + "hidden.txt",
      root + "*.*", root + "*.*",         root + "sub\\*.lnk"};
  EXPECT_EQ(WriteZipArchive(entries, zip, 8), 5u);
  Archive a;
  Load(ReadFileBytes(zip), a, "expand");
  ASSERT_EQ(a.names.size(), 5u);
  EXPECT_EQ(a.names[0], Stored(root + "sub\\c.txt"));  // plain entries come first
  const std::set<std::string> names(a.names.begin(), a.names.end());
  EXPECT_EQ(names.size(), 5u);
  EXPECT_EQ(names.count(Stored(root + "hidden.txt")), 0u);
  EXPECT_EQ(names.count(Stored(root + "system.txt")), 0u);
  EXPECT_EQ(names.count(Stored(root + "hiddendir\\e.txt")), 0u);
  EXPECT_EQ(names.count(Stored(root + "sub\\deeper\\d.lnk")), 1u);
  for (const std::string& n : a.names) {
    EXPECT_EQ(n.find('\\'), std::string::npos) << n;
    EXPECT_NE(n.back(), '/') << "no folder entries";
    EXPECT_EQ(n.find(':'), std::string::npos) << n;
  }
  EXPECT_EQ(a.Data(Stored(root + "sub\\deeper\\d.lnk")), "d");
  EXPECT_EQ(a.Data(Stored(root + "empty.txt")), "");
  for (const ZipEntry& e : a.reader.entries()) {
    EXPECT_EQ(e.flags, 0x0002) << e.name;
    EXPECT_EQ(e.external_attributes & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_NE(e.dos_date, 0);
  }

  // Nothing to take: a valid archive without entries.
  const std::string none = ScratchFolder(ScratchState::kEmpty, "pack", "expand-none") + "none.zip";
  EXPECT_EQ(WriteZipArchive({"", root + "nothing\\*.*", root + "missing.txt"}, none, 4), 0u);
  Archive b;
  Load(ReadFileBytes(none), b, "empty");
  EXPECT_TRUE(b.names.empty());
}

TEST(ZipArchive, NamesFlagsAndLevels) {
  const std::string root = ScratchFolder(ScratchState::kEmpty, "pack", "names");
  const std::string cyrillic = "\xD0\x96\xD1\x83\xD1\x80\xD0\xBD\xD0\xB0\xD0\xBB.txt";  // Журнал
  Put(root + cyrillic, "utf-8 name");
  Put(root + "plain.txt", "ascii name");
  for (int level : {8, 4}) {
    const std::string zip =
        ScratchFolder(ScratchState::kEmpty, "pack", "names-" + std::to_string(level)) + "n.zip";
    EXPECT_EQ(WriteZipArchive({root + "*.*"}, zip, level), 2u);
    Archive a;
    Load(ReadFileBytes(zip), a, "names" + std::to_string(level));
    ASSERT_EQ(a.names.size(), 2u);
    for (const ZipEntry& e : a.reader.entries()) {
      const bool utf8 = e.name.find(cyrillic) != std::string::npos;
      EXPECT_EQ(e.flags, (level == 8 ? 0x0002 : 0) | (utf8 ? 0x0800 : 0)) << e.name;
      EXPECT_EQ(e.version_made_by, utf8 ? 0x0B2D : 0x002D) << e.name;
      EXPECT_EQ(e.external_attributes,
                ::GetFileAttributesW(Widen(root + (utf8 ? cyrillic : "plain.txt")).c_str()));
    }
    EXPECT_EQ(a.Data(Stored(root + cyrillic)), "utf-8 name");
  }
  // A name that the OEM code page holds is stored in it.
  bool utf8 = true;
  const std::wstring accented = L"users/caf\u00E9.txt";
  const std::string bytes = EncodeEntryName(accented, utf8);
  if (::GetOEMCP() == 437 || ::GetOEMCP() == 850) {
    EXPECT_FALSE(utf8);
    EXPECT_EQ(bytes, "users/caf\x82.txt");
  }
  EncodeEntryName(L"plain/name.txt", utf8);
  EXPECT_FALSE(utf8);
  EncodeEntryName(L"x/\u4E2D\u6587.txt", utf8);
  EXPECT_TRUE(utf8);
}

TEST(ZipArchive, UpdatesAnExistingArchive) {
  const std::string root = ScratchFolder(ScratchState::kEmpty, "pack", "update");
  Put(root + "A.txt", "old A");
  Put(root + "B.txt", "old B");
  Put(root + "K.txt", "kept K");
  const std::string zip = ScratchFolder(ScratchState::kEmpty, "pack", "update-out") + "info.data";
  ASSERT_EQ(WriteZipArchive({root + "*.*"}, zip, 8), 3u);
  Archive before;
  Load(ReadFileBytes(zip), before);

  // A newer A replaces its entry; B vanished and its entry stays; K is not newer and stays
  // without counting; C is appended.
  Put(root + "A.txt", "new A");
  ShiftWriteTime(root + "A.txt", 3600);
  ::DeleteFileW(Widen(root + "B.txt").c_str());
  Put(root + "C.txt", "new C");
  EXPECT_EQ(WriteZipArchive({root + "*.*"}, zip, 8), 2u);
  Archive after;
  Load(ReadFileBytes(zip), after, "update");
  ASSERT_EQ(after.names.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(after.names.begin(), after.names.begin() + 3), before.names);
  EXPECT_EQ(after.names[3], Stored(root + "C.txt"));
  EXPECT_EQ(after.Data(Stored(root + "A.txt")), "new A");
  EXPECT_EQ(after.Data(Stored(root + "B.txt")), "old B");
  EXPECT_EQ(after.Data(Stored(root + "K.txt")), "kept K");

  // Nothing newer: no file counts, the archive keeps its entries.
  EXPECT_EQ(WriteZipArchive({root + "*.*"}, zip, 8), 0u);
  Archive again;
  Load(ReadFileBytes(zip), again);
  EXPECT_EQ(again.names, after.names);
}

size_t TempLeftovers() {
  size_t n = 0;
  WIN32_FIND_DATAW d;
  UniqueFindHandle f(::FindFirstFileW((Widen(TempFolder()) + L"kzp*.tmp").c_str(), &d));
  if (f) {
    do
      ++n;
    while (::FindNextFileW(f.get(), &d));
  }
  return n;
}

TEST(ZipArchive, FailuresLoseNothing) {
  const std::string root = ScratchFolder(ScratchState::kEmpty, "pack", "fail");
  Put(root + "a.txt", "a");
  Put(root + "locked.txt", "locked");
  Put(root + "z.txt", "z");
  const std::string out = ScratchFolder(ScratchState::kEmpty, "pack", "fail-out");

  // A file held without read sharing is passed over; the rest are packed.
  {
    UniqueHandle lock(::CreateFileW(Widen(root + "locked.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.valid());
    EXPECT_EQ(WriteZipArchive({root + "*.*"}, out + "locked.zip", 8), 2u);
  }
  Archive a;
  Load(ReadFileBytes(out + "locked.zip"), a, "locked");
  EXPECT_EQ(a.names.size(), 2u);
  EXPECT_EQ(std::count(a.names.begin(), a.names.end(), Stored(root + "locked.txt")), 0);

  // The same with the file held by another process.
  {
    SECURITY_ATTRIBUTES inheritable = {sizeof inheritable, nullptr, TRUE};
    HANDLE read_raw = nullptr, write_raw = nullptr;
    ASSERT_TRUE(::CreatePipe(&read_raw, &write_raw, &inheritable, 0));
    UniqueHandle read_end(read_raw), write_end(write_raw);
    STARTUPINFOA si = {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = write_end.get();
    std::string command = "\"";
    command += ExeFolder() + "fake_console.exe\" lock \"" + root + "locked.txt\"";
    PROCESS_INFORMATION pi = {};
    ASSERT_TRUE(::CreateProcessA(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                 nullptr, &si, &pi));
    UniqueHandle holder(pi.hProcess), thread(pi.hThread);
    write_end.reset();
    char said[16] = {};
    DWORD got = 0;
    ASSERT_TRUE(::ReadFile(read_end.get(), said, sizeof said - 1, &got, nullptr));
    ASSERT_EQ(std::string(said, got), "locked\r\n");
    EXPECT_EQ(WriteZipArchive({root + "*.*"}, out + "held.zip", 8), 2u);
    ::TerminateProcess(holder.get(), 0);
    ::WaitForSingleObject(holder.get(), 5000);
  }
  Archive held;
  Load(ReadFileBytes(out + "held.zip"), held, "held");
  EXPECT_EQ(std::count(held.names.begin(), held.names.end(), Stored(root + "locked.txt")), 0);
  EXPECT_EQ(held.Data(Stored(root + "z.txt")), "z");

  // Something that is not an archive at the path (a damaged leftover): replaced by a fresh
  // archive of the files, with no temporary file left.
  const size_t leftovers = TempLeftovers();
  Put(out + "info.data", "not an archive at all, just text");
  EXPECT_EQ(WriteZipArchive({root + "z.txt"}, out + "info.data", 8), 1u);
  Archive fresh;
  Load(ReadFileBytes(out + "info.data"), fresh, "fresh");
  EXPECT_EQ(fresh.Data(Stored(root + "z.txt")), "z");
  EXPECT_EQ(TempLeftovers(), leftovers);

  // An archive path that cannot be created fails and leaves nothing behind.
  EXPECT_ANY_THROW(WriteZipArchive({root + "*.*"}, out + "no\\such\\folder\\x.zip", 8));
}

TEST(ZipArchive, ManyFilesKeepTheirOrderAroundAStreamedLargeOne) {
  // Small files are compressed ahead on worker threads, a large one is streamed by the writer;
  // the archive still holds every file once, in the order of the list.
  const std::string root = ScratchFolder(ScratchState::kEmpty, "pack", "order");
  StringList list;
  for (int i = 0; i < 120; ++i) {
    const std::string name = root + "f" + std::to_string(i) + ".txt";
    Put(name, std::string(1000 + i * 37, static_cast<char>('a' + i % 26)));
    list.push_back(name);
    if (i == 50) {
      std::string big(40u << 20, '\0');
      uint32_t x = 1;
      for (char& c : big)
        c = static_cast<char>((x = x * 1103515245 + 12345) >> 24);
      Put(root + "big.bin", big);
      list.push_back(root + "big.bin");
    }
  }
  list.push_back(root + "f7.txt");  // named again: packed once
  const std::string zip = ScratchFolder(ScratchState::kEmpty, "pack", "order-out") + "order.zip";
  EXPECT_EQ(WriteZipArchive(list, zip, 8), 121u);
  Archive a;
  Load(ReadFileBytes(zip), a, "order");
  ASSERT_EQ(a.names.size(), 121u);
  for (size_t i = 0; i < 121; ++i)
    EXPECT_EQ(a.names[i], Stored(list[i]));
  EXPECT_EQ(a.Data(Stored(root + "f119.txt")), std::string(1000 + 119 * 37, 'a' + 119 % 26));
  EXPECT_EQ(a.Data(Stored(root + "big.bin")).size(), 40u << 20);
}

// With the folder walk (platform/file_walk_win) that the archive's expansion goes through.
TEST(ZipArchive, LinkLoopsEndTheWalk) {
  const std::string root = ScratchFolder(ScratchState::kEmpty, "pack", "loop");
  ASSERT_TRUE(ForceDirectories(root + "tree\\inner"));
  Put(root + "tree\\inner\\f.txt", "f");
  // A link inside the tree that leads back to its top. Without privilege to create it, the
  // test checks the visited-folder guard through the walk itself.
  const bool linked =
      ::CreateSymbolicLinkW(Widen(root + "tree\\inner\\back").c_str(), Widen(root + "tree").c_str(),
                            SYMBOLIC_LINK_FLAG_DIRECTORY) != 0;
  std::cout << "symbolic link created: " << linked << "\n";
  size_t visits = 0;
  WalkFolder(Widen(root + "tree"), WalkOptions{},
             [&](const std::wstring&, const WIN32_FIND_DATAW&) {
               ++visits;
               return true;
             });
  EXPECT_EQ(visits, 1u);
  EXPECT_EQ(WriteZipArchive({root + "tree\\*.*"}, root + "loop.zip", 8), 1u);
}
}  // namespace
}  // namespace kovra::win
