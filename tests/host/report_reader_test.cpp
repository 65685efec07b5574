#include <zlib.h>

#include <gtest/gtest.h>

#include "archive/zip_reader.h"
#include "crypto/descrypt.h"
#include "report_file.h"

namespace kovra {
namespace {

void Put16(std::string& s, uint32_t v) {
  s += static_cast<char>(v & 0xFF);
  s += static_cast<char>((v >> 8) & 0xFF);
}
void Put32(std::string& s, uint32_t v) {
  Put16(s, v & 0xFFFF);
  Put16(s, v >> 16);
}

std::string RawDeflate(const std::string& data) {
  z_stream z = {};
  deflateInit2(&z, 8, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
  std::string out(compressBound(data.size()) + 64, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

// A small archive written the way the tool writes them (Deflate, no data descriptor).
std::string MakeZip(const std::vector<std::pair<std::string, std::string>>& files) {
  std::string zip, dir;
  for (const auto& [name, data] : files) {
    const std::string packed = RawDeflate(data);
    const uint32_t crc =
        crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size()));
    const uint32_t offset = static_cast<uint32_t>(zip.size());
    Put32(zip, 0x04034B50);
    Put16(zip, 20), Put16(zip, 2), Put16(zip, 8), Put16(zip, 0), Put16(zip, 0x5A21);
    Put32(zip, crc), Put32(zip, static_cast<uint32_t>(packed.size())),
        Put32(zip, static_cast<uint32_t>(data.size()));
    Put16(zip, static_cast<uint32_t>(name.size())), Put16(zip, 0);
    zip += name + packed;
    Put32(dir, 0x02014B50);
    Put16(dir, 0x2D), Put16(dir, 20), Put16(dir, 2), Put16(dir, 8), Put16(dir, 0),
        Put16(dir, 0x5A21);
    Put32(dir, crc), Put32(dir, static_cast<uint32_t>(packed.size())),
        Put32(dir, static_cast<uint32_t>(data.size()));
    Put16(dir, static_cast<uint32_t>(name.size())), Put16(dir, 0), Put16(dir, 0), Put16(dir, 0),
        Put16(dir, 0);
    Put32(dir, 0x20), Put32(dir, offset);
    dir += name;
  }
  const uint32_t dir_offset = static_cast<uint32_t>(zip.size());
  zip += dir;
  Put32(zip, 0x06054B50);
  Put16(zip, 0), Put16(zip, 0), Put16(zip, static_cast<uint32_t>(files.size())),
      Put16(zip, static_cast<uint32_t>(files.size()));
  Put32(zip, static_cast<uint32_t>(dir.size())), Put32(zip, dir_offset), Put16(zip, 0);
  return zip;
}

const std::vector<std::pair<std::string, std::string>> kFiles = {
    {"Users/anna/Temp/GetInfoDir/Kovra_Debug_Info.txt", std::string("\xFF\xFEV\0\r\0\n\0", 8)},
    {"Users/anna/Temp/GetInfoDir/GetInfoLog.txt", std::string(10000, 'x')},
};

TEST(ReportReader, ContainerRoundTripListsAndReadsEveryEntry) {
  const std::string zip = MakeZip(kFiles);
  std::string report;
  EncryptStream(zip, report, kReportKey);
  std::string archive, error;
  ReportKind kind;
  ASSERT_TRUE(DecodeReport(report, archive, kind, error)) << error;
  EXPECT_EQ(kind, ReportKind::kContainer);
  EXPECT_EQ(archive, zip);
  ZipReader reader;
  ASSERT_TRUE(reader.Open(archive, error)) << error;
  ASSERT_EQ(reader.entries().size(), 2u);
  for (size_t i = 0; i < kFiles.size(); ++i) {
    std::string data;
    EXPECT_EQ(reader.entries()[i].name, kFiles[i].first);
    ASSERT_TRUE(reader.Read(reader.entries()[i], data, error)) << error;
    EXPECT_EQ(data, kFiles[i].second);
  }
}

TEST(ReportReader, PlainArchiveIsTakenAsItIs) {
  const std::string zip = MakeZip(kFiles);
  std::string archive, error;
  ReportKind kind;
  ASSERT_TRUE(DecodeReport(zip, archive, kind, error));
  EXPECT_EQ(kind, ReportKind::kPlainZip);
  ASSERT_TRUE(DecodeReport(MakeZip({}), archive, kind, error));  // an archive without entries
  EXPECT_EQ(kind, ReportKind::kPlainZip);
}

TEST(ReportReader, DamagedReportsGetClearErrors) {
  std::string report;
  EncryptStream(MakeZip(kFiles), report, kReportKey);
  std::string archive, error;
  ReportKind kind;
  EXPECT_FALSE(DecodeReport(report.substr(0, report.size() - 3), archive, kind, error));
  EXPECT_NE(error.find("8 x N + 4"), std::string::npos) << error;
  std::string wrong_key;
  EncryptStream(MakeZip(kFiles), wrong_key, "another key");
  EXPECT_FALSE(DecodeReport(wrong_key, archive, kind, error));
  EXPECT_NE(error.find("no ZIP archive"), std::string::npos) << error;
}

TEST(ReportReader, CrcAndStructureDamageIsFound) {
  std::string zip = MakeZip({{"a.txt", "hello hello hello"}});
  ZipReader reader;
  std::string error, data;
  // Flip the stored CRC in the central directory.
  const size_t central = zip.find(std::string("PK\x01\x02", 4));
  zip[central + 16] ^= 1;
  ASSERT_TRUE(reader.Open(zip, error));
  EXPECT_FALSE(reader.Read(reader.entries()[0], data, error));
  EXPECT_NE(error.find("CRC"), std::string::npos) << error;

  const std::string good = MakeZip({{"a.txt", "hello hello hello"}});
  EXPECT_FALSE(reader.Open(good.substr(0, good.size() - 1), error));
  EXPECT_FALSE(reader.Open("PK\x03\x04 not really", error));
  std::string cut = good;
  cut[cut.size() - 6] = 0x7F;  // directory offset far past the end
  EXPECT_FALSE(reader.Open(cut, error));

  // Short files that end in a Zip64 locator and an end record that needs it, the locator
  // pointing at or past the locator itself: refused without reading outside the input.
  for (size_t size : {46, 50, 55, 56, 98}) {
    std::string tiny = std::string("PK\x03\x04", 4) + std::string(size - 46, '\0');
    const uint64_t z64 = size - 42 > 4 ? size - 46 : 0;
    std::string locator = std::string("PK\x06\x07", 4) + std::string(4, '\0');
    for (int i = 0; i < 8; ++i)
      locator += static_cast<char>(z64 >> (8 * i));
    locator += std::string("\x01\0\0\0", 4);
    // An end record whose entry count is full: only the Zip64 record could give the count.
    tiny += locator + std::string("PK\x05\x06", 4) + std::string(4, '\0') +
            std::string("\xFF\xFF\xFF\xFF", 4) + std::string(10, '\0');
    ASSERT_EQ(tiny.size(), size);
    EXPECT_FALSE(reader.Open(tiny, error)) << size;
  }
}

TEST(ReportReader, ANameThatLooksLikeAZip64LocatorIsJustAName) {
  // The last name of the directory ends 20 bytes before the end record with what looks like a
  // Zip64 locator; the classic end record needs no Zip64 record, so the archive reads.
  const std::string name = "x" + std::string("PK\x06\x07", 4) + std::string(16, 'q');
  const std::string zip = MakeZip({{"a.txt", "one"}, {name, "two"}});
  ZipReader reader;
  std::string error, data;
  ASSERT_TRUE(reader.Open(zip, error)) << error;
  ASSERT_EQ(reader.entries().size(), 2u);
  ASSERT_TRUE(reader.Read(reader.entries()[1], data, error)) << error;
  EXPECT_EQ(data, "two");
}

TEST(ReportReader, NamesReachTheTerminalEscaped) {
  EXPECT_EQ(TerminalSafe("plain/name.txt"), "plain/name.txt");
  EXPECT_EQ(TerminalSafe("a\x1B]0;owned\x07"
                         "b"),
            "a\\x1B]0;owned\\x07b");
  EXPECT_EQ(TerminalSafe("\xC2\x9B"
                         "2J\x7F"),
            "\\xC2\\x9B2J\\x7F");  // C1 CSI, DEL
  EXPECT_EQ(TerminalSafe("C:\\x"), "C:\\x");
  EXPECT_EQ(TerminalSafe("one\ntwo\r", true), "one\ntwo\\x0D");
  EXPECT_EQ(TerminalSafe("\xD0\x98\xD0\xB2"), "\xD0\x98\xD0\xB2");  // letters stay
}

TEST(ReportReader, NamesThatWouldEscapeAreRefused) {
  std::string r;
  EXPECT_TRUE(SafeRelativePath("Users/anna/Temp/GetInfoDir/x.txt", r));
  EXPECT_EQ(r, "Users/anna/Temp/GetInfoDir/x.txt");
  EXPECT_TRUE(SafeRelativePath("a/./b//c", r));
  EXPECT_EQ(r, "a/b/c");
  for (const char* bad : {"../x", "a/../../x", "/etc/passwd", "\\\\server\\share\\x", "C:\\x",
                          "c:x", "a\\..\\..\\x", "", "./"}) {
    EXPECT_FALSE(SafeRelativePath(bad, r)) << bad;
  }
}

}  // namespace
}  // namespace kovra

namespace kovra {
namespace {

TEST(ReportReader, EntryNamesAsUtf8) {
  ZipEntry oem;
  oem.name = "users/caf\x82/\x8E\xE1.txt";  // é, Ä, ß in code page 437
  EXPECT_EQ(EntryNameUtf8(oem), "users/caf\xC3\xA9/\xC3\x84\xC3\x9F.txt");
  ZipEntry utf8;
  utf8.flags = 0x0800;
  utf8.name = "\xD0\x96.txt";
  EXPECT_EQ(EntryNameUtf8(utf8), "\xD0\x96.txt");
  ZipEntry ascii;
  ascii.name = "plain/name.txt";
  EXPECT_EQ(EntryNameUtf8(ascii), "plain/name.txt");
}

}  // namespace
}  // namespace kovra
