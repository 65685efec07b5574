#include "platform/pe_version.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace kovra {
namespace {

// A small PE image built byte by byte: the headers, one section holding the resource tree
// (type -> name -> languages -> data) and the version block.
struct PeShape {
  bool pe32_plus = false;
  bool resource_directory = true;
  uint32_t type = 16;  // RT_VERSION
  uint32_t name = 1;   // VS_VERSION_INFO
  int languages = 1;
  uint16_t value_length = 52;
};

void Put16(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = static_cast<uint8_t>(v);
  b[at + 1] = static_cast<uint8_t>(v >> 8);
}
void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  Put16(b, at, v);
  Put16(b, at + 2, v >> 16);
}

constexpr uint32_t kSectionRva = 0x2000, kSectionOffset = 0x400;

std::vector<uint8_t> BuildPe(const PeShape& shape) {
  std::vector<uint8_t> b(0x1000, 0);
  b[0] = 'M';
  b[1] = 'Z';
  const uint32_t pe = 0x80;
  Put32(b, 0x3C, pe);
  Put32(b, pe, 0x00004550);
  Put16(b, pe + 6, 1);  // one section
  const uint32_t optional_size = shape.pe32_plus ? 240 : 224;
  Put16(b, pe + 20, optional_size);
  const uint32_t optional = pe + 24;
  Put16(b, optional, shape.pe32_plus ? 0x20B : 0x10B);
  const uint32_t directories = optional + (shape.pe32_plus ? 112 : 96);
  Put32(b, directories - 4, 16);
  if (shape.resource_directory) {
    Put32(b, directories + 2 * 8, kSectionRva);
    Put32(b, directories + 2 * 8 + 4, 0x400);
  }
  const uint32_t section = optional + optional_size;
  Put32(b, section + 8, 0x800);            // virtual size
  Put32(b, section + 12, kSectionRva);     // address
  Put32(b, section + 16, 0x800);           // raw size
  Put32(b, section + 20, kSectionOffset);  // raw offset
  // Resource tree at the section's start: each directory one entry (languages: several).
  const auto directory = [&](uint32_t at, uint32_t id, uint32_t target, int entries) {
    Put16(b, kSectionOffset + at + 14, entries);
    for (int i = 0; i < entries; ++i) {
      Put32(b, kSectionOffset + at + 16 + i * 8, id + i);
      Put32(b, kSectionOffset + at + 20 + i * 8, target);
    }
  };
  directory(0x00, shape.type, 0x80000000 | 0x20, 1);
  directory(0x20, shape.name, 0x80000000 | 0x40, 1);
  directory(0x40, 0x409, 0x80, shape.languages);
  Put32(b, kSectionOffset + 0x80, kSectionRva + 0x100);  // data entry: address, size
  Put32(b, kSectionOffset + 0x84, 0x100);
  // Version block: length, value length, type, "VS_VERSION_INFO", padding, fixed block.
  const uint32_t block = kSectionOffset + 0x100;
  Put16(b, block, 0x100);
  Put16(b, block + 2, shape.value_length);
  const char key[] = "VS_VERSION_INFO";
  for (size_t i = 0; i < sizeof key; ++i)
    Put16(b, block + 6 + i * 2, static_cast<uint8_t>(key[i]));
  const uint32_t value = block + 40;  // 6 + 32 bytes of key and NUL, then 2 of padding
  Put32(b, value, 0xFEEF04BD);
  Put32(b, value + 8, 0x00080001);   // 8.1
  Put32(b, value + 12, 0x00020003);  // 2.3
  return b;
}

PeVersion Find(const std::vector<uint8_t>& bytes) {
  return FindPeFileVersion(bytes.size(), [&](uint64_t offset, void* out, size_t n) {
    if (offset > bytes.size() || n > bytes.size() - offset)
      return false;
    std::memcpy(out, bytes.data() + offset, n);
    return true;
  });
}

TEST(PeFileVersion, FixedBlockOrTheSystemDecides) {
  struct Case {
    const char* what;
    PeShape shape;
    PeVersionFind find;
  };
  const Case cases[] = {
      {"PE32 with a version", {}, PeVersionFind::kFound},
      {"PE32+ with a version", {.pe32_plus = true}, PeVersionFind::kFound},
      {"no resource directory", {.resource_directory = false}, PeVersionFind::kNone},
      {"resources but no version type", {.type = 3}, PeVersionFind::kNone},
      {"a version resource of another name", {.name = 2}, PeVersionFind::kNone},
      {"a root block without the fixed block", {.value_length = 0}, PeVersionFind::kNone},
      {"several languages: the user's settings choose", {.languages = 2}, PeVersionFind::kUnknown},
  };
  for (const Case& c : cases) {
    const PeVersion v = Find(BuildPe(c.shape));
    EXPECT_EQ(v.find, c.find) << c.what;
    if (c.find == PeVersionFind::kFound) {
      EXPECT_EQ(v.ms, 0x00080001u) << c.what;
      EXPECT_EQ(v.ls, 0x00020003u) << c.what;
    }
  }
}

TEST(PeFileVersion, OtherFilesAndDamageAreLeftToTheSystem) {
  // Files that start like no program have no version; compressed ones are the system's.
  EXPECT_EQ(Find(std::vector<uint8_t>(200, 'a')).find, PeVersionFind::kNone);
  EXPECT_EQ(Find({}).find, PeVersionFind::kNone);
  EXPECT_EQ(Find({'M'}).find, PeVersionFind::kNone);
  for (const char* start : {"SZDD", "KWAJ", "ZM"}) {
    std::vector<uint8_t> file(start, start + std::strlen(start));
    file.resize(100);
    EXPECT_EQ(Find(file).find, PeVersionFind::kUnknown) << start;
  }
  std::vector<uint8_t> bad_signature = BuildPe({});
  bad_signature[0x80] = 'N';  // an NE or LE image: the system reads those
  EXPECT_EQ(Find(bad_signature).find, PeVersionFind::kUnknown);
  // Every cut of the image, and the new-header offset pointing past the end.
  const std::vector<uint8_t> whole = BuildPe({});
  for (size_t size :
       {size_t{2}, size_t{64}, size_t{0x90}, size_t{0x200}, size_t{0x480}, size_t{0x520}}) {
    const std::vector<uint8_t> cut(whole.begin(), whole.begin() + size);
    EXPECT_EQ(Find(cut).find, PeVersionFind::kUnknown) << size;
  }
  std::vector<uint8_t> far = whole;
  Put32(far, 0x3C, 0xFFFFFFF0);
  EXPECT_EQ(Find(far).find, PeVersionFind::kUnknown);
  // A resource tree that points at itself ends: each level is read once.
  std::vector<uint8_t> loop = whole;
  Put32(loop, kSectionOffset + 0x14, 0x80000000);
  EXPECT_NE(Find(loop).find, PeVersionFind::kFound);
}

}  // namespace
}  // namespace kovra
