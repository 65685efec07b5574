#include "platform/pe_version.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <vector>

namespace kovra {

namespace {

// Wire constants of the PE format.
constexpr uint16_t kDosMagic = 0x5A4D;          // "MZ"
constexpr uint16_t kDosMagicSwapped = 0x4D5A;   // "ZM"
constexpr uint32_t kPeSignature = 0x00004550;   // "PE\0\0"
constexpr uint32_t kDosNewHeaderOffset = 0x3C;  // e_lfanew
constexpr uint32_t kFileHeaderSize = 20;        // IMAGE_FILE_HEADER
constexpr uint16_t kOptionalMagic32 = 0x10B;    // PE32
constexpr uint16_t kOptionalMagic64 = 0x20B;    // PE32+
constexpr uint32_t kDirectoriesAt32 = 96;       // data directories in the optional header
constexpr uint32_t kDirectoriesAt64 = 112;
constexpr uint32_t kResourceDirectory = 2;  // IMAGE_DIRECTORY_ENTRY_RESOURCE
constexpr uint32_t kSectionHeaderSize = 40;
constexpr uint32_t kMaxSections = 96;
constexpr uint32_t kResourceDirectoryHeader = 16;  // IMAGE_RESOURCE_DIRECTORY
constexpr uint32_t kResourceEntrySize = 8;
constexpr uint32_t kSubdirectoryFlag = 0x80000000;
constexpr uint32_t kNamedEntryFlag = 0x80000000;
constexpr uint32_t kVersionType = 16;  // RT_VERSION
constexpr uint32_t kVersionName = 1;   // VS_VERSION_INFO
constexpr uint32_t kFixedInfoSize = 52;
constexpr uint32_t kMaxVersionResource = 1u << 20;

uint16_t U16(const uint8_t* p) {
  return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

struct Section {
  uint32_t rva, virtual_size, raw_size, raw_offset;
};

class PeFile {
 public:
  PeFile(uint64_t size, const ReadAt& read) : size_(size), read_(read) {}

  template <size_t N>
  bool Read(uint64_t offset, uint8_t (&out)[N]) {
    return offset + N <= size_ && read_(offset, out, N);
  }

  // The file offset of `length` bytes at an address of the image, inside one section.
  bool FileOffset(uint32_t rva, uint32_t length, uint64_t& offset) const {
    for (const Section& s : sections_) {
      const uint64_t extent = std::max(s.virtual_size, s.raw_size);
      if (rva >= s.rva && uint64_t{rva} + length <= uint64_t{s.rva} + extent &&
          uint64_t{rva - s.rva} + length <= s.raw_size) {
        offset = uint64_t{s.raw_offset} + (rva - s.rva);
        return offset + length <= size_;
      }
    }
    return false;
  }

  std::vector<Section> sections_;
  uint32_t resource_rva_ = 0;

 private:
  const uint64_t size_;
  const ReadAt& read_;
};

enum class Step { kFound, kMissing, kUnknown };

// The entry of `id` in the resource directory at `directory` (an offset inside the resource
// data): its offset field, and whether it is a sub-directory. Named entries are never ids.
Step FindEntry(PeFile& pe, uint32_t directory, uint32_t id, uint32_t& target, bool& subdirectory,
               uint32_t* count_out = nullptr) {
  uint64_t at = 0;
  uint8_t header[kResourceDirectoryHeader];
  if (!pe.FileOffset(pe.resource_rva_ + directory, kResourceDirectoryHeader, at) ||
      !pe.Read(at, header))
    return Step::kUnknown;
  const uint32_t named = U16(header + 12), ids = U16(header + 14);
  if (count_out)
    *count_out = named + ids;
  for (uint32_t i = 0; i < named + ids; ++i) {
    uint8_t entry[kResourceEntrySize];
    uint64_t entry_at = 0;
    if (!pe.FileOffset(
            pe.resource_rva_ + directory + kResourceDirectoryHeader + i * kResourceEntrySize,
            kResourceEntrySize, entry_at) ||
        !pe.Read(entry_at, entry))
      return Step::kUnknown;
    const uint32_t name = U32(entry), offset = U32(entry + 4);
    if ((name & kNamedEntryFlag) != 0 || (count_out == nullptr && name != id))
      continue;
    target = offset & ~kSubdirectoryFlag;
    subdirectory = (offset & kSubdirectoryFlag) != 0;
    return Step::kFound;
  }
  return Step::kMissing;
}

// Whether a file starts the way the system's version reader needs: a DOS header ("MZ", or the
// rare "ZM") in front of a PE, NE or LE image, or the header of an LZ-compressed file.
bool MayBeAProgram(uint64_t file_size, const ReadAt& read) {
  uint8_t start[4] = {};
  if (file_size < 2 || !read(0, start, file_size < 4 ? 2 : 4))
    return file_size >= 2;  // unreadable: the system decides
  const uint16_t magic = U16(start);
  return magic == kDosMagic || magic == kDosMagicSwapped ||
         (file_size >= 4 &&
          (std::memcmp(start, "SZDD", 4) == 0 || std::memcmp(start, "KWAJ", 4) == 0));
}

PeVersion Find(uint64_t file_size, const ReadAt& read) {
  if (!MayBeAProgram(file_size, read))
    return {PeVersionFind::kNone};
  PeFile pe(file_size, read);
  uint8_t dos[64];
  if (!pe.Read(0, dos) || U16(dos) != kDosMagic)
    return {};
  const uint32_t pe_at = U32(dos + kDosNewHeaderOffset);
  uint8_t headers[4 + kFileHeaderSize + 2];
  if (!pe.Read(pe_at, headers) || U32(headers) != kPeSignature)
    return {};
  const uint32_t sections = U16(headers + 4 + 2);
  const uint32_t optional_size = U16(headers + 4 + 16);
  const uint16_t magic = U16(headers + 4 + kFileHeaderSize);
  const uint32_t directories_at = magic == kOptionalMagic32   ? kDirectoriesAt32
                                  : magic == kOptionalMagic64 ? kDirectoriesAt64
                                                              : 0;
  if (directories_at == 0 || sections == 0 || sections > kMaxSections)
    return {};
  const uint64_t optional_at = uint64_t{pe_at} + 4 + kFileHeaderSize;
  uint8_t counts[4];
  if (optional_size < directories_at || !pe.Read(optional_at + directories_at - 4, counts))
    return {};
  if (U32(counts) <= kResourceDirectory ||
      optional_size < directories_at + (kResourceDirectory + 1) * 8)
    return {PeVersionFind::kNone};
  uint8_t resource[8];
  if (!pe.Read(optional_at + directories_at + kResourceDirectory * 8, resource))
    return {};
  pe.resource_rva_ = U32(resource);
  if (pe.resource_rva_ == 0 || U32(resource + 4) == 0)
    return {PeVersionFind::kNone};
  for (uint32_t i = 0; i < sections; ++i) {
    uint8_t s[kSectionHeaderSize];
    if (!pe.Read(optional_at + optional_size + uint64_t{i} * kSectionHeaderSize, s))
      return {};
    pe.sections_.push_back({U32(s + 12), U32(s + 8), U32(s + 16), U32(s + 20)});
  }

  // Type, then name, then language: three levels of directories.
  uint32_t names = 0, languages = 0, data = 0, language_count = 0;
  bool sub = false;
  Step step = FindEntry(pe, 0, kVersionType, names, sub);
  if (step != Step::kFound || !sub)
    return {step == Step::kMissing ? PeVersionFind::kNone : PeVersionFind::kUnknown};
  step = FindEntry(pe, names, kVersionName, languages, sub);
  if (step != Step::kFound || !sub)
    return {step == Step::kMissing ? PeVersionFind::kNone : PeVersionFind::kUnknown};
  // The system picks among several languages by the user's settings: leave that to it.
  if (FindEntry(pe, languages, 0, data, sub, &language_count) != Step::kFound ||
      language_count != 1 || sub)
    return {};

  uint8_t data_entry[16];
  uint64_t at = 0;
  if (!pe.FileOffset(pe.resource_rva_ + data, sizeof data_entry, at) || !pe.Read(at, data_entry))
    return {};
  const uint32_t block_rva = U32(data_entry), block_size = U32(data_entry + 4);
  if (block_size < 6 || block_size > kMaxVersionResource ||
      !pe.FileOffset(block_rva, block_size, at))
    return {};
  std::vector<uint8_t> block(block_size);
  if (!read(at, block.data(), block.size()))
    return {};
  // The root block: length, value length, type, the key "VS_VERSION_INFO" and its NUL, then
  // the value at the next 32-bit boundary.
  const uint32_t length = std::min<uint32_t>(U16(block.data()), block_size);
  const uint32_t value_length = U16(block.data() + 2);
  uint32_t key_end = 6;
  while (key_end + 2 <= length && U16(block.data() + key_end) != 0)
    key_end += 2;
  if (key_end + 2 > length)
    return {};
  const uint32_t value_at = (key_end + 2 + 3) & ~3u;
  if (value_length < kFixedInfoSize || value_at + kFixedInfoSize > length)
    return {PeVersionFind::kNone};
  return {PeVersionFind::kFound, U32(block.data() + value_at + 8),
          U32(block.data() + value_at + 12)};
}

}  // namespace

PeVersion FindPeFileVersion(uint64_t file_size, const ReadAt& read) {
  try {
    return Find(file_size, read);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

}  // namespace kovra
