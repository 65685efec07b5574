// Writes ZIP archives (PKWARE APPNOTE) through a byte sink: local headers rewritten after the
// data instead of data descriptors, raw Deflate from zlib, Zip64 fields and end records exactly
// where a size, an offset or the entry count does not fit its classic field.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "archive/zip_format.h"

namespace kovra {

// Raised when the archive cannot be written; the caller removes what was written.
class ZipWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Where the archive bytes go. Write appends at the current end; WriteAt overwrites bytes
// already written (the local header) and leaves the end where it was.
class ZipSink {
 public:
  virtual ~ZipSink() = default;
  virtual void Write(const void* data, size_t size) = 0;
  virtual void WriteAt(uint64_t offset, const void* data, size_t size) = 0;
  virtual uint64_t Position() const = 0;
};

// Where an entry's bytes come from: fills up to `size` bytes, 0 at the end (or on a read error,
// which ends the entry with the bytes read so far).
class ZipSource {
 public:
  virtual ~ZipSource() = default;
  virtual size_t Read(void* buffer, size_t size) = 0;
};

// The facts of one file to store.
struct ZipFileFacts {
  std::string name;  // the stored name bytes (OEM code page, or UTF-8 with `utf8`)
  bool utf8 = false;
  uint16_t dos_time = 0, dos_date = 0;
  uint32_t attributes = 0;  // the Windows attribute bits
  uint64_t size = 0;        // the size when the file was opened; decides the local Zip64 field
};

// An entry's data compressed ahead of writing (for instance on another thread).
struct DeflatedData {
  std::string bytes;  // raw Deflate
  uint32_t crc32 = 0;
  uint64_t size = 0;  // uncompressed
};

// Compresses the whole source as AddFile would; false (and `out` emptied) when the compressed
// bytes would exceed `limit`, so that the caller can stream the file instead.
[[nodiscard]] bool DeflateToMemory(ZipSource& source, int level, size_t limit, DeflatedData& out);

// The flag bits of an entry: bit 1 for levels 8 and 9, bit 2 for 2 and less, bit 11 for UTF-8.
uint16_t ZipFlagsForLevel(int level, bool utf8);

class ZipWriter {
 public:
  // Chunk size in which entry data is read and compressed.
  static constexpr size_t kReadChunk = 65535;

  ZipWriter(ZipSink& sink, int level);

  // Files of at least this size are compressed in blocks on up to `threads` threads (1: on the
  // caller's thread, the default); the entry holds one valid Deflate stream either way.
  static constexpr uint64_t kParallelMinimum = 4u << 20;
  void SetDeflateThreads(unsigned threads) { threads_ = threads; }

  // Compresses the source's bytes into a new entry; returns the uncompressed size.
  uint64_t AddFile(const ZipFileFacts& facts, ZipSource& source);
  // Writes an entry from data compressed beforehand at this writer's level.
  void AddDeflated(const ZipFileFacts& facts, const DeflatedData& data);
  // Takes over an entry of another archive as it stands: its header facts and its compressed
  // bytes (`entry.compressed_size` of them at `data_offset` of `input`), not recompressed.
  void AddRawEntry(const ZipEntry& entry, ZipInput& input, uint64_t data_offset);
  // The central directory and the end records. The sink is complete afterwards.
  void Finish();

  size_t entry_count() const { return central_.size(); }
  int level() const { return level_; }

 private:
  // Writes the header at the end, or over its first form once the data is known.
  void WriteLocalHeader(const ZipEntry& e, bool zip64_field, bool rewrite);
  ZipEntry NewEntry(const ZipFileFacts& facts) const;
  std::vector<uint8_t> CentralRecord(const ZipEntry& e) const;

  ZipSink& sink_;
  int level_;
  unsigned threads_ = 1;
  std::vector<ZipEntry> central_;
  std::vector<char> in_buffer_, out_buffer_;
};

}  // namespace kovra
