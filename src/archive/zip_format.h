// The ZIP format facts shared by the writer and the reader: an entry's central-directory fields,
// the record signatures, and the input the reader takes an archive from.
#pragma once

#include <cstdint>
#include <string>

namespace kovra {

struct ZipEntry {
  std::string name;  // as stored (UTF-8 when flag bit 11 is set, else OEM bytes)
  uint16_t version_made_by = 0, version_needed = 0, flags = 0, method = 0;
  uint16_t dos_time = 0, dos_date = 0;
  uint32_t crc32 = 0, external_attributes = 0;
  uint64_t compressed_size = 0, uncompressed_size = 0, local_header_offset = 0;
  bool zip64 = false;
};

namespace zip {
constexpr uint32_t kLocalSig = 0x04034B50, kCentralSig = 0x02014B50, kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50, kZip64LocatorSig = 0x07064B50;
constexpr uint16_t kFlagUtf8 = 0x0800, kFlagDataDescriptor = 0x0008;
}  // namespace zip

// Where an archive's bytes are read from: a file, a mapped view, a buffer. Reads are at an
// offset, so that an archive of any size is read piece by piece.
class ZipInput {
 public:
  virtual ~ZipInput() = default;
  virtual uint64_t Size() const = 0;
  // Fills `size` bytes from `offset`; false on a read error or when the range passes the end.
  [[nodiscard]] virtual bool ReadAt(uint64_t offset, void* buffer, size_t size) = 0;
};

}  // namespace kovra
