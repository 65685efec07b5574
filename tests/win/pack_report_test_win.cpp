// The three packing ways of the report (app/pack_report_win) against Wine's real file system.
#include <gtest/gtest.h>

#include "app/pack_report_win.h"
#include "archive/zip_reader.h"
#include "crypto/descrypt.h"
#include "platform/files_win.h"
#include "platform/local_time_win.h"
#include "test_support_win.h"

namespace kovra::win {
namespace {

TEST(PackReport, TheThreeWays) {
  const std::string staging = ScratchFolder(ScratchState::kEmpty, "pack", "staging");
  Put(staging + "Kovra_Debug_Info.txt", "info");
  ASSERT_TRUE(ForceDirectories(staging + "Logs"));
  Put(staging + "Logs\\product.log", "log");
  const std::string out = ScratchFolder(ScratchState::kEmpty, "pack", "reports");
  const std::string info_data = ExeFolder() + "info.data";
  const std::string beside = ExeFolder() + "nf_logs_" + TodayYmd() + ".log";
  DeleteFilePath(info_data);
  DeleteFilePath(beside);
  const StringList list = {"", staging + "*.*", staging + "never-written.txt"};

  // Way 1: enciphered at the report path, info.data gone.
  PackReport(&list, staging, out + "r1.log");
  std::string plain, error;
  ASSERT_TRUE(DecryptContainer(ReadFileBytes(out + "r1.log"), kReportKey, plain, error)) << error;
  Archive a;
  Load(plain, a, "way1");
  EXPECT_EQ(a.names.size(), 2u);
  EXPECT_EQ(a.Data(Stored(staging + "Logs\\product.log")), "log");
  EXPECT_FALSE(FileExists(info_data));

  // Way 3 alone without an archive list: a plain archive at level 4.
  PackReport(nullptr, staging, out + "r3.log");
  Archive c;
  Load(ReadFileBytes(out + "r3.log"), c, "way3");
  EXPECT_EQ(c.names.size(), 2u);
  for (const ZipEntry& e : c.reader.entries())
    EXPECT_EQ(e.flags, 0);

  // Way 2 directly: the container beside the program.
  EXPECT_EQ(ZipAndEncryptBesideProgram(list), 2u);
  ASSERT_TRUE(DecryptContainer(ReadFileBytes(beside), kReportKey, plain, error)) << error;
  EXPECT_FALSE(FileExists(info_data));
  DeleteFilePath(beside);

  // An unwritable report path: way 1 fails at the encipherment and leaves info.data; way 2
  // finds it up to date and writes nothing; way 3 cannot write either. No report anywhere.
  const std::string unwritable = out + "missing-folder\\r.log";
  PackReport(&list, staging, unwritable);
  EXPECT_FALSE(FileExists(unwritable));
  EXPECT_FALSE(FileExists(beside));
  EXPECT_TRUE(FileExists(info_data));
  // A later run updates the leftover info.data: its entries stay unless newer files replace them.
  Put(staging + "Kovra_Debug_Info.txt", "newer info");
  ShiftWriteTime(staging + "Kovra_Debug_Info.txt", 3600);
  const StringList later = {staging + "*.*"};
  EXPECT_EQ(ZipAndEncrypt(later, out + "r4.log"), 1u);
  ASSERT_TRUE(DecryptContainer(ReadFileBytes(out + "r4.log"), kReportKey, plain, error)) << error;
  Archive d;
  Load(plain, d, "leftover");
  EXPECT_EQ(d.names.size(), 2u);
  EXPECT_EQ(d.Data(Stored(staging + "Kovra_Debug_Info.txt")), "newer info");
  EXPECT_FALSE(FileExists(info_data));
}

}  // namespace
}  // namespace kovra::win
