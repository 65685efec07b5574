// Reads ZIP archives held in memory: the central directory (with Zip64 records) and the
// entries' data (stored or Deflate), checked against their CRC-32 and sizes.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kovra {

struct ZipEntry {
  std::string name;  // as stored (UTF-8 when flag bit 11 is set, else OEM bytes)
  uint16_t version_made_by = 0, version_needed = 0, flags = 0, method = 0;
  uint16_t dos_time = 0, dos_date = 0;
  uint32_t crc32 = 0, external_attributes = 0;
  uint64_t compressed_size = 0, uncompressed_size = 0, local_header_offset = 0;
  bool zip64 = false;
};

class ZipReader {
 public:
  // Parses the directory; false with a reason when the bytes are no readable archive.
  bool Open(std::string_view archive, std::string& error);
  const std::vector<ZipEntry>& entries() const { return entries_; }
  // The entry's uncompressed bytes; false with a reason on damage (bad header, inflate error,
  // CRC or size mismatch).
  bool Read(const ZipEntry& entry, std::string& data, std::string& error) const;
  // The entry's compressed bytes as they lie in the archive, for taking it over unchanged.
  bool RawData(const ZipEntry& entry, std::string_view& compressed, std::string& error) const;

 private:
  std::string_view archive_;
  std::vector<ZipEntry> entries_;
};

// The entry's name as UTF-8: as stored when flag bit 11 says UTF-8, else decoded from code page
// 437, the format's default for names without that flag.
std::string EntryNameUtf8(const ZipEntry& entry);

// True for a ZIP archive's first bytes (a local header, or the end record of an empty one).
bool LooksLikeZip(std::string_view bytes);

// A stored name made safe to extract below a folder: forward slashes, no drive, no absolute
// path, no "." or ".." component. False when the name would leave the folder.
bool SafeRelativePath(const std::string& name, std::string& relative);

}  // namespace kovra
