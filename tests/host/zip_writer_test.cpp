#include "archive/zip_writer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <random>

#include "archive/zip_reader.h"
#include "crypto/md5.h"
#include "archive/memory_io.h"

namespace kovra {
namespace {

// Zero bytes without end, to a given count.
class ZeroSource : public ZipSource {
 public:
  explicit ZeroSource(uint64_t size) : left_(size) {}
  size_t Read(void* buffer, size_t size) override {
    const size_t n = static_cast<size_t>(std::min<uint64_t>(size, left_));
    memset(buffer, 0, n);
    left_ -= n;
    return n;
  }

 private:
  uint64_t left_;
};

// Keeps only the bytes written after the first `skip`, and pretends the rest were there.
class TailSink : public ZipSink {
 public:
  explicit TailSink(uint64_t start) : start_(start) {}
  void Write(const void* data, size_t size) override {
    tail.append(static_cast<const char*>(data), size);
  }
  void WriteAt(uint64_t offset, const void* data, size_t size) override {
    ASSERT_GE(offset, start_);
    memcpy(tail.data() + (offset - start_), data, size);
  }
  uint64_t Position() const override { return start_ + tail.size(); }
  std::string tail;

 private:
  uint64_t start_;
};

uint16_t U16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t U32(const std::string& b, size_t at) {
  return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}
uint64_t U64(const std::string& b, size_t at) {
  return U32(b, at) | static_cast<uint64_t>(U32(b, at + 4)) << 32;
}

ZipFileFacts Facts(const std::string& name, bool utf8 = false, uint64_t size = 0) {
  ZipFileFacts f;
  f.name = name;
  f.utf8 = utf8;
  f.dos_time = 0x5A21;
  f.dos_date = 0x5B89;
  f.attributes = 0x20;
  f.size = size;
  return f;
}

std::string Random(size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (auto& c : s)
    c = static_cast<char>(rng());
  return s;
}

std::string TempPath(const std::string& leaf) {
  return std::string(testing::TempDir()) + "kovra_zip_" + leaf;
}

void SaveFile(const std::string& path, const std::string& bytes) {
  std::ofstream(path, std::ios::binary).write(bytes.data(), bytes.size());
}

bool HaveReaders() {
  return std::system(
             "command -v unzip >/dev/null && command -v bsdtar >/dev/null && "
             "command -v python3 >/dev/null") == 0;
}

// What the three independent readers give back: "md5 name" lines, or the failure.
std::string ReadersSay(const std::string& archive) {
  const std::string out = archive + ".readers";
  const std::string cmd =
      std::string(KOVRA_SOURCE_DIR) + "/tests/host/zip_readers.sh " + archive + " " + out;
  std::string result;
  if (FILE* p = popen((cmd + " 2>&1").c_str(), "r")) {
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
      result.append(buf, n);
    if (pclose(p) != 0)
      result = "READERS FAILED: " + result;
  }
  return result;
}

TEST(ZipWriter, ArchivesReadBackAndPassIndependentReaders) {
  const std::map<std::string, std::string> files = {
      {"Users/anna/Temp/GetInfoDir/Kovra_Debug_Info.txt", std::string(200000, 'x') + "end"},
      {"Users/anna/Temp/GetInfoDir/empty.txt", ""},
      {"Users/anna/Temp/GetInfoDir/sub/random.bin", Random(300000, 7)},
      {"Users/anna/\xd0\x96\xd1\x83\xd1\x80\xd0\xbd\xd0\xb0\xd0\xbb.txt", "utf-8 name"},
  };
  for (int level : {8, 4}) {
    StringSink sink;
    ZipWriter writer(sink, level);
    std::string expected;
    for (const auto& [name, data] : files) {
      const bool utf8 = static_cast<unsigned char>(name[11]) >= 0x80;
      StringSource source(data);
      EXPECT_EQ(writer.AddFile(Facts(name, utf8, data.size()), source), data.size());
    }
    writer.Finish();
    EXPECT_EQ(writer.entry_count(), files.size());

    ZipReader reader;
    std::string error;
    ASSERT_TRUE(reader.Open(sink.bytes, error)) << error;
    ASSERT_EQ(reader.entries().size(), files.size());
    for (const ZipEntry& e : reader.entries()) {
      const bool utf8 = static_cast<unsigned char>(e.name[11]) >= 0x80;
      const uint16_t flags = static_cast<uint16_t>((level == 8 ? 0x0002 : 0) | (utf8 ? 0x0800 : 0));
      EXPECT_EQ(e.flags, flags) << e.name;
      EXPECT_EQ(e.version_made_by, utf8 ? 0x0B2D : 0x002D) << e.name;
      EXPECT_EQ(e.version_needed, 20);
      EXPECT_EQ(e.method, 8);
      EXPECT_EQ(e.dos_time, 0x5A21);
      EXPECT_EQ(e.dos_date, 0x5B89);
      EXPECT_EQ(e.external_attributes, 0x20u);
      EXPECT_FALSE(e.zip64);
      std::string data;
      ASSERT_TRUE(reader.Read(e, data, error)) << error;
      EXPECT_EQ(data, files.at(e.name));
      expected += Md5OfBytes(data) + " " + e.name + "\n";
      // The local header holds the final values, not a data descriptor's placeholders.
      const size_t h = static_cast<size_t>(e.local_header_offset);
      EXPECT_EQ(U16(sink.bytes, h + 6), flags);
      EXPECT_EQ(U32(sink.bytes, h + 14), e.crc32);
      EXPECT_EQ(U32(sink.bytes, h + 18), e.compressed_size);
      EXPECT_EQ(U32(sink.bytes, h + 22), e.uncompressed_size);
    }
    // No Zip64 records in a small archive: the end record closes the file at 22 bytes.
    EXPECT_EQ(U32(sink.bytes, sink.bytes.size() - 22), 0x06054B50u);
    EXPECT_NE(U32(sink.bytes, sink.bytes.size() - 42), 0x07064B50u);

    if (!HaveReaders())
      GTEST_SKIP() << "unzip, bsdtar or python3 missing (scripts/install-deps.sh installs them)";
    const std::string path = TempPath("level" + std::to_string(level) + ".zip");
    SaveFile(path, sink.bytes);
    EXPECT_EQ(ReadersSay(path), expected);
  }
}

TEST(ZipWriter, EmptyArchiveAndTakenOverEntries) {
  StringSink empty;
  ZipWriter(empty, 8).Finish();
  ASSERT_EQ(empty.bytes.size(), 22u);
  ZipReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(empty.bytes, error)) << error;
  EXPECT_TRUE(reader.entries().empty());

  // An archive's entries taken over raw into a new one keep their bytes and facts.
  StringSink first;
  ZipWriter w1(first, 8);
  StringSource a("first file"), b(std::string(70000, 'b'));
  w1.AddFile(Facts("A.txt"), a);
  w1.AddFile(Facts("B.txt"), b);
  w1.Finish();
  ASSERT_TRUE(reader.Open(first.bytes, error)) << error;
  StringSink second;
  ZipWriter w2(second, 4);
  for (const ZipEntry& e : reader.entries()) {
    uint64_t at = 0;
    ASSERT_TRUE(reader.DataOffset(e, at, error)) << error;
    w2.AddRawEntry(e, reader.input(), at);
  }
  StringSource c("new");
  w2.AddFile(Facts("C.txt"), c);
  w2.Finish();
  ZipReader again;
  ASSERT_TRUE(again.Open(second.bytes, error)) << error;
  ASSERT_EQ(again.entries().size(), 3u);
  std::string data;
  ASSERT_TRUE(again.Read(again.entries()[1], data, error)) << error;
  EXPECT_EQ(data, std::string(70000, 'b'));
  EXPECT_EQ(again.entries()[1].flags, 0x0002);  // kept from the old archive
  EXPECT_EQ(again.entries()[2].flags, 0x0000);  // level 4
}

TEST(ZipWriter, LargeFilesDeflatedInParallelAreOneValidStream) {
  // Text that compresses well, random bytes that do not, and a tail shorter than a block.
  std::string data;
  std::mt19937 rng(7);
  for (int i = 0; i < 60000; ++i)
    data += "line " + std::to_string(i % 977) + " of a log that repeats itself\r\n";
  for (int i = 0; i < 3 << 20; ++i)
    data += static_cast<char>(rng());
  data += "end";
  ASSERT_GT(data.size(), ZipWriter::kParallelMinimum);
  for (unsigned threads : {1u, 3u}) {
    StringSink sink;
    ZipWriter writer(sink, 8);
    writer.SetDeflateThreads(threads);
    StringSource source(data);
    ZipFileFacts facts = Facts("big.log");
    facts.size = data.size();
    EXPECT_EQ(writer.AddFile(facts, source), data.size());
    writer.Finish();
    ZipReader reader;
    std::string error, back;
    ASSERT_TRUE(reader.Open(sink.bytes, error)) << error;
    ASSERT_TRUE(reader.Read(reader.entries()[0], back, error)) << error;
    EXPECT_TRUE(back == data) << threads << " threads";
    // An independent reader agrees.
    const std::string path = ::testing::TempDir() + "parallel.zip";
    std::ofstream(path, std::ios::binary) << sink.bytes;
    const std::string check =
        "python3 -c \"import zipfile,sys; z=zipfile.ZipFile(sys.argv[1]); "
        "sys.exit(z.testzip() is not None)\" " +
        path;
    if (std::system("python3 -c pass 2>/dev/null") == 0) {
      EXPECT_EQ(std::system(check.c_str()), 0) << threads << " threads";
    }
    std::remove(path.c_str());
  }
}

TEST(ZipWriter, Zip64ForManyEntries) {
  StringSink sink;
  ZipWriter writer(sink, 4);
  constexpr size_t kCount = 65537;
  for (size_t i = 0; i < kCount; ++i) {
    StringSource s(i % 1000 == 0 ? "content " + std::to_string(i) : "");
    writer.AddFile(Facts("f/" + std::to_string(i)), s);
  }
  writer.Finish();
  const std::string& z = sink.bytes;
  const size_t end = z.size() - 22;
  ASSERT_EQ(U32(z, end), 0x06054B50u);
  EXPECT_EQ(U16(z, end + 8), 0xFFFF);
  EXPECT_EQ(U16(z, end + 10), 0xFFFF);
  EXPECT_LT(U32(z, end + 16), 0xFFFFFFFFu);  // the offset still fits and stays
  ASSERT_EQ(U32(z, end - 20), 0x07064B50u);
  const size_t z64 = static_cast<size_t>(U64(z, end - 12));
  ASSERT_EQ(U32(z, z64), 0x06064B50u);
  EXPECT_EQ(U64(z, z64 + 4), 44u);
  EXPECT_EQ(U16(z, z64 + 12), 45);
  EXPECT_EQ(U64(z, z64 + 24), kCount);
  EXPECT_EQ(U64(z, z64 + 32), kCount);
  EXPECT_EQ(U32(z, end - 4), 1u);  // total disks in the locator

  ZipReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(z, error)) << error;
  ASSERT_EQ(reader.entries().size(), kCount);
  std::string data;
  ASSERT_TRUE(reader.Read(reader.entries()[65000], data, error)) << error;
  EXPECT_EQ(data, "content 65000");

  if (!HaveReaders())
    GTEST_SKIP() << "unzip, bsdtar or python3 missing";
  const std::string path = TempPath("many.zip");
  SaveFile(path, z);
  EXPECT_EQ(std::system(("unzip -tqq " + path + " >/dev/null").c_str()), 0);
  EXPECT_EQ(std::system(("bsdtar -tf " + path + " >/dev/null").c_str()), 0);
  EXPECT_EQ(std::system(("python3 -c 'import sys,zipfile; z=zipfile.ZipFile(sys.argv[1]); "
                         "sys.exit(z.testzip() is not None or len(z.infolist()) != 65537)' " +
                         path)
                            .c_str()),
            0);
}

TEST(ZipWriter, Zip64FieldsForAnOffsetBeyond4GiB) {
  // The archive's first 4 GiB are not kept; only the records after them are checked.
  const uint64_t start = 0x100000010ull;
  TailSink sink(start);
  ZipWriter writer(sink, 8);
  StringSource s("late entry");
  writer.AddFile(Facts("late.txt"), s);
  writer.Finish();
  const std::string& t = sink.tail;
  // The local header needs no Zip64 field: its sizes fit.
  EXPECT_EQ(U16(t, 4), 20);
  EXPECT_EQ(U16(t, 28), 0);
  const size_t end = t.size() - 22;
  const uint64_t dir_offset = U64(t, end - 76 + 48);
  ASSERT_EQ(U32(t, end - 20), 0x07064B50u);
  ASSERT_EQ(U32(t, end - 76), 0x06064B50u);
  EXPECT_EQ(U32(t, end + 16), 0xFFFFFFFFu);  // classic directory offset does not fit
  EXPECT_EQ(U16(t, end + 10), 1);            // the count fits and stays
  const size_t c = static_cast<size_t>(dir_offset - start);
  ASSERT_EQ(U32(t, c), 0x02014B50u);
  EXPECT_EQ(U16(t, c + 6), 45);
  EXPECT_EQ(U32(t, c + 42), 0xFFFFFFFFu);
  ASSERT_EQ(U16(t, c + 30), 12);  // extra: id, size, the offset alone
  EXPECT_EQ(U16(t, c + 46 + 8), 1);
  EXPECT_EQ(U16(t, c + 46 + 8 + 2), 8);
  EXPECT_EQ(U64(t, c + 46 + 8 + 4), start);
}

// 4 GiB and more of data in one entry: Zip64 sizes in the local and the central header, and
// the independent readers inflate it all. Slow; run under the "slow" label.
TEST(ZipWriterSlow, Zip64ForAnEntryOf4GiB) {
  if (!std::getenv("KOVRA_SLOW_TESTS"))
    GTEST_SKIP() << "set KOVRA_SLOW_TESTS=1 (ctest -L slow does)";
  const uint64_t size = 0x100000000ull + 100;
  StringSink sink;
  ZipWriter writer(sink, 1);
  ZeroSource zeros(size);
  ZipFileFacts facts = Facts("big.bin", false, size);
  EXPECT_EQ(writer.AddFile(facts, zeros), size);
  StringSource small("after the big one");
  writer.AddFile(Facts("small.txt"), small);
  writer.Finish();
  const std::string& z = sink.bytes;
  EXPECT_EQ(U16(z, 4), 45);
  EXPECT_EQ(U32(z, 18), 0xFFFFFFFFu);
  EXPECT_EQ(U32(z, 22), 0xFFFFFFFFu);
  EXPECT_EQ(U16(z, 28), 20);
  EXPECT_EQ(U64(z, 30 + 7 + 4), size);
  ZipReader reader;
  std::string error;
  ASSERT_TRUE(reader.Open(z, error)) << error;
  ASSERT_EQ(reader.entries().size(), 2u);
  EXPECT_TRUE(reader.entries()[0].zip64);
  EXPECT_EQ(reader.entries()[0].uncompressed_size, size);
  EXPECT_EQ(reader.entries()[0].version_needed, 45);
  const std::string path = TempPath("big.zip");
  SaveFile(path, z);
  if (!HaveReaders())
    GTEST_SKIP() << "unzip, bsdtar or python3 missing";
  EXPECT_EQ(ReadersSay(path), "3601846a07f37ff8fbbeed3a1a7999b7 big.bin\n" +
                                  Md5OfBytes("after the big one") + " small.txt\n");
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kovra
