// The container and the digest on real files under Wine.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "crypto/crypto_files_win.h"
#include "crypto/descrypt.h"
#include "crypto/md5.h"
#include "platform/files_win.h"
#include "platform/staging_folder_win.h"
#include "platform/handles_win.h"
#include "platform/win_text_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(FileMd5, EmptyMissingAndLockedFilesGiveTheEmptyDigest) {
  const std::string dir = ScratchFolder(ScratchState::kKept, "crypto");
  WriteFileBytes(dir + "empty.bin", "");
  EXPECT_EQ(GetFileMD5(dir + "empty.bin"), kEmptyMd5);
  EXPECT_EQ(GetFileMD5(dir + "missing.bin"), kEmptyMd5);
  WriteFileBytes(dir + "abc.txt", "abc");
  EXPECT_EQ(GetFileMD5(dir + "abc.txt"), "900150983cd24fb0d6963f7d28e17f72");
  {
    UniqueHandle lock(::CreateFileW(Widen(dir + "abc.txt").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock);
    EXPECT_EQ(GetFileMD5(dir + "abc.txt"), kEmptyMd5);
  }
  const std::string big(200u << 20 | 77, 'z');  // crosses several mapped views
  WriteFileBytes(dir + "big.bin", big);
  EXPECT_EQ(GetFileMD5(dir + "big.bin"), Md5OfBytes(big));
  (void)RemoveTreeNoFollow(dir);
}

TEST(FileContainer, MatchesTheInMemoryContainer) {
  const std::string dir = ScratchFolder(ScratchState::kKept, "crypto");
  const std::string data = "The archive bytes, not a multiple of eight.";
  WriteFileBytes(dir + "info.data", data);
  EncryptFile(dir + "info.data", dir + "report.log", kReportKey);
  std::string expected;
  EncryptStream(data, expected, kReportKey);
  EXPECT_EQ(ReadFileBytes(dir + "report.log"), expected);
  EXPECT_FALSE(FileExists(dir + "report.log.part"));
  // Empty arguments do nothing.
  EncryptFile("", dir + "x.log", kReportKey);
  EncryptFile(dir + "info.data", dir + "x.log", "");
  EXPECT_FALSE(FileExists(dir + "x.log"));
  (void)RemoveTreeNoFollow(dir);
}

// The container files of EncryptFile in the temporary folder.
size_t TempContainers() {
  size_t n = 0;
  WIN32_FIND_DATAW d;
  UniqueFindHandle f(::FindFirstFileW((Widen(TempFolder()) + L"kdc*.tmp").c_str(), &d));
  if (f) {
    do
      ++n;
    while (::FindNextFileW(f.get(), &d));
  }
  return n;
}

TEST(FileContainer, FailuresLeaveNoPartialReport) {
  const std::string dir = ScratchFolder(ScratchState::kKept, "crypto");
  const size_t temp_before = TempContainers();
  EXPECT_THROW(EncryptFile(dir + "missing.data", dir + "report.log", kReportKey),
               std::runtime_error);
  EXPECT_FALSE(FileExists(dir + "report.log"));
  WriteFileBytes(dir + "info.data", "abc");
  EXPECT_THROW(EncryptFile(dir + "info.data", dir + "no\\such\\report.log", kReportKey),
               std::runtime_error);
  // A destination held open without sharing cannot be replaced: the old file stays whole.
  WriteFileBytes(dir + "held.log", "old");
  {
    UniqueHandle hold(::CreateFileW(Widen(dir + "held.log").c_str(), GENERIC_READ, 0, nullptr,
                                    OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(hold);
    EXPECT_THROW(EncryptFile(dir + "info.data", dir + "held.log", kReportKey), std::runtime_error);
  }
  EXPECT_EQ(ReadFileBytes(dir + "held.log"), "old");
  // Nothing beside the destination, nothing left in the temporary folder.
  WIN32_FIND_DATAW d;
  UniqueFindHandle parts(::FindFirstFileW((Widen(dir) + L"*.part").c_str(), &d));
  EXPECT_FALSE(parts.valid());
  EXPECT_EQ(TempContainers(), temp_before);
  (void)RemoveTreeNoFollow(dir);
}

TEST(FileContainer, LargeInputKeepsPeakMemoryBounded) {
  const std::string dir = ScratchFolder(ScratchState::kKept, "crypto");
  {
    UniqueHandle f(::CreateFileW(Widen(dir + "large.data").c_str(), GENERIC_WRITE, 0, nullptr,
                                 CREATE_ALWAYS, 0, nullptr));
    ASSERT_TRUE(f);
    std::string chunk(1u << 20, '\0');
    for (size_t i = 0; i < chunk.size(); ++i)
      chunk[i] = static_cast<char>(i * 131);
    for (int i = 0; i < 300; ++i) {
      DWORD w = 0;
      ASSERT_TRUE(
          ::WriteFile(f.get(), chunk.data(), static_cast<DWORD>(chunk.size()), &w, nullptr));
    }
  }
  PROCESS_MEMORY_COUNTERS before{}, after{};
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &before, sizeof before);
  EncryptFile(dir + "large.data", dir + "large.log", kReportKey);
  ::GetProcessMemoryInfo(::GetCurrentProcess(), &after, sizeof after);
  LARGE_INTEGER size;
  {
    UniqueHandle f(::CreateFileW(Widen(dir + "large.log").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(f);
    ::GetFileSizeEx(f.get(), &size);
  }
  EXPECT_EQ(size.QuadPart, 300ll * (1 << 20) + 4);
  // 300 MB went through; the peak grew by far less than one copy of it.
  const size_t growth = after.PeakWorkingSetSize - before.PeakWorkingSetSize;
  EXPECT_LT(growth, 48u << 20) << "peak working set grew by " << growth;
  (void)RemoveTreeNoFollow(dir);
}

}  // namespace
}  // namespace kovra::win
