#include "archive/pack_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/archive_names.h"
#include "archive/memory_io.h"
#include "base/text.h"

namespace kovra {
namespace {

struct MemoryFile {
  std::string name, bytes;
  uint16_t dos_date = 0x5A00;  // the stamp compared with the archive's entries
  bool opens = true;
};

class MemoryFiles : public PackFiles {
 public:
  explicit MemoryFiles(std::vector<MemoryFile> files) : files_(std::move(files)) {}
  size_t Count() const override { return files_.size(); }
  std::string Key(size_t i) const override { return AsciiUpperCase(files_[i].name); }
  std::unique_ptr<ZipSource> Open(size_t i, ZipFileFacts& facts) const override {
    const MemoryFile& f = files_[i];
    if (!f.opens)
      return nullptr;
    facts.name = f.name;
    facts.dos_date = f.dos_date;
    facts.size = f.bytes.size();
    return std::make_unique<StringSource>(f.bytes);
  }
  uint32_t Stamp(size_t i) const override { return DosStamp(files_[i].dos_date, 0); }

 private:
  std::vector<MemoryFile> files_;
};

// The archive's entries as "name=content" in order.
std::vector<std::string> Contents(const std::string& archive) {
  ZipReader reader;
  std::string error, data;
  EXPECT_TRUE(reader.Open(archive, error)) << error;
  std::vector<std::string> out;
  for (const ZipEntry& e : reader.entries()) {
    EXPECT_TRUE(reader.Read(e, data, error)) << error;
    out.push_back(e.name + "=" + data);
  }
  return out;
}

std::string Pack(const MemoryFiles& files, const PackOptions& options, size_t* written) {
  StringSink sink;
  ZipWriter writer(sink, 8);
  std::set<std::string> names;
  *written = AppendFiles(writer, files, names, options);
  writer.Finish();
  return sink.bytes;
}

TEST(PackFiles, NewArchiveKeepsListOrderFirstNameWinsAndSkipsWhatCannotOpen) {
  const MemoryFiles files({{"a.txt", "first"},
                           {"big.bin", std::string(300000, 'x') + "end"},
                           {"A.TXT", "second of the same name"},
                           {"locked.txt", "held", 0x5A00, false},
                           {"b.txt", ""}});
  const std::vector<std::string> expected = {
      "a.txt=first", "big.bin=" + std::string(300000, 'x') + "end", "b.txt="};
  // On the caller's thread, with helper threads, and with files too large to compress ahead:
  // the same entries and the same bytes.
  std::string reference;
  for (const PackOptions options :
       {PackOptions{0, 8u << 20}, PackOptions{3, 8u << 20}, PackOptions{2, 1000}}) {
    size_t written = 0;
    const std::string archive = Pack(files, options, &written);
    EXPECT_EQ(written, 3u);
    EXPECT_EQ(Contents(archive), expected);
    if (reference.empty())
      reference = archive;
    EXPECT_EQ(archive, reference) << options.workers << " workers";
  }
}

TEST(PackFiles, UpdateReplacesNewerKeepsVanishedAndSkipsUnchanged) {
  size_t written = 0;
  const std::string old_archive = Pack(MemoryFiles({{"a.txt", "old a", 0x5A00},
                                                    {"b.txt", "old b", 0x5A00},
                                                    {"gone.txt", "vanished", 0x5A00}}),
                                       PackOptions{}, &written);
  ZipReader old;
  std::string error;
  ASSERT_TRUE(old.Open(old_archive, error)) << error;

  const MemoryFiles now({{"A.TXT", "new a", 0x5A01},   // newer, another letter case
                         {"b.txt", "same b", 0x5A00},  // not newer: the old entry stays
                         {"c.txt", "added", 0x5A00}});
  StringSink sink;
  ZipWriter writer(sink, 8);
  written = UpdateArchive(
      old, [](const ZipEntry& e) { return AsciiUpperCase(e.name); }, writer, now,
      PackOptions{2, 8u << 20});
  writer.Finish();
  EXPECT_EQ(written, 2u);
  EXPECT_EQ(Contents(sink.bytes), (std::vector<std::string>{"A.TXT=new a", "b.txt=old b",
                                                            "gone.txt=vanished", "c.txt=added"}));

  // An old entry whose data is not where the directory says is dropped; the file of its name,
  // when listed, is written anew, and the other entries stay.
  std::string damaged = old_archive;
  damaged[0] = 'X';  // the first local header's signature
  ZipReader broken;
  ASSERT_TRUE(broken.Open(damaged, error)) << error;
  StringSink sink2;
  ZipWriter writer2(sink2, 8);
  EXPECT_EQ(UpdateArchive(
                broken, [](const ZipEntry& e) { return AsciiUpperCase(e.name); }, writer2,
                MemoryFiles({{"a.txt", "fresh a", 0x5A00}}), PackOptions{}),
            1u);
  writer2.Finish();
  EXPECT_EQ(Contents(sink2.bytes),
            (std::vector<std::string>{"b.txt=old b", "gone.txt=vanished", "a.txt=fresh a"}));
}

}  // namespace
}  // namespace kovra
