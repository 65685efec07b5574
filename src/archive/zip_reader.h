// Reads ZIP archives through a ZipInput: the central directory (with Zip64 records) and the
// entries' data (stored or Deflate), checked against their CRC-32 and sizes. Only the directory
// is held in memory; entry data is read and inflated piece by piece.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_format.h"

namespace kovra {

// An archive held in memory, as an input.
class MemoryInput : public ZipInput {
 public:
  explicit MemoryInput(std::string_view bytes) : bytes_(bytes) {}
  uint64_t Size() const override { return bytes_.size(); }
  [[nodiscard]] bool ReadAt(uint64_t offset, void* buffer, size_t size) override;

 private:
  std::string_view bytes_;
};

class ZipReader {
 public:
  // Parses the directory; false with a reason when the input is no readable archive. The input
  // must outlive the reader's use.
  [[nodiscard]] bool Open(ZipInput& input, std::string& error);
  // The same for an archive in memory; the bytes must outlive the reader's use.
  [[nodiscard]] bool Open(std::string_view archive, std::string& error);

  const std::vector<ZipEntry>& entries() const { return entries_; }

  // The entry's uncompressed bytes, handed to `out` piece by piece (`out` returns false to stop,
  // which fails the call); false with a reason on damage (bad header, inflate error, CRC or
  // size mismatch). Pieces already handed over stay with the caller.
  [[nodiscard]] bool Stream(const ZipEntry& entry, const std::function<bool(std::string_view)>& out,
                            std::string& error) const;
  // The whole uncompressed entry in memory.
  [[nodiscard]] bool Read(const ZipEntry& entry, std::string& data, std::string& error) const;
  // Where the entry's compressed bytes start in the input, checked to lie inside it.
  [[nodiscard]] bool DataOffset(const ZipEntry& entry, uint64_t& offset, std::string& error) const;
  ZipInput& input() const { return *input_; }

 private:
  ZipInput* input_ = nullptr;
  std::unique_ptr<MemoryInput> memory_;
  std::vector<ZipEntry> entries_;
};

// The entry's name as UTF-8: as stored when flag bit 11 says UTF-8, else decoded from code page
// 437, the format's default for names without that flag.
std::string EntryNameUtf8(const ZipEntry& entry);

// True for a ZIP archive's first bytes (a local header, or the end record of an empty one).
bool LooksLikeZip(std::string_view bytes);

// A stored name made safe to extract below a folder: forward slashes, no drive, no absolute
// path, no "." or ".." component. False when the name would leave the folder.
[[nodiscard]] bool SafeRelativePath(const std::string& name, std::string& relative);

}  // namespace kovra
