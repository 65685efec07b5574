#include "archive/zip_reader.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>

#include "base/text.h"

namespace kovra {

namespace {

uint16_t U16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b[at]) | static_cast<uint8_t>(b[at + 1]) << 8);
}
uint32_t U32(std::string_view b, size_t at) {
  return U16(b, at) | static_cast<uint32_t>(U16(b, at + 2)) << 16;
}
uint64_t U64(std::string_view b, size_t at) {
  return U32(b, at) | static_cast<uint64_t>(U32(b, at + 4)) << 32;
}

using zip::kCentralSig;
using zip::kEndSig;
using zip::kLocalSig;
using zip::kZip64EndSig;
using zip::kZip64LocatorSig;

// The end record is at most this far from the end: its 22 bytes and a comment of up to 65535.
constexpr uint64_t kEndSearch = 22 + 65535;
// The Zip64 end record and its locator lie before the end record.
constexpr uint64_t kZip64EndSize = 56, kLocatorSize = 20;

bool ReadString(ZipInput& in, uint64_t offset, size_t size, std::string& out) {
  out.resize(size);
  return size == 0 || in.ReadAt(offset, out.data(), size);
}

}  // namespace

bool MemoryInput::ReadAt(uint64_t offset, void* buffer, size_t size) {
  if (offset > bytes_.size() || size > bytes_.size() - offset)
    return false;
  if (size > 0)
    memcpy(buffer, bytes_.data() + offset, size);
  return true;
}

bool LooksLikeZip(std::string_view b) {
  return b.size() >= 4 && (U32(b, 0) == kLocalSig || (U32(b, 0) == kEndSig && b.size() >= 22));
}

bool ZipReader::Open(std::string_view archive, std::string& error) {
  memory_ = std::make_unique<MemoryInput>(archive);
  return Open(*memory_, error);
}

bool ZipReader::Open(ZipInput& in, std::string& error) {
  input_ = &in;
  entries_.clear();
  const uint64_t size = in.Size();
  if (size < 22) {
    error = "too short for a ZIP archive";
    return false;
  }
  // The tail that can hold the end record, and the Zip64 locator and end record before it.
  const uint64_t tail_size = std::min(size, kEndSearch + kLocatorSize + kZip64EndSize);
  const uint64_t tail_at = size - tail_size;
  std::string tail;
  if (!ReadString(in, tail_at, static_cast<size_t>(tail_size), tail)) {
    error = "cannot read the end of the archive";
    return false;
  }
  size_t end = std::string::npos;
  const size_t lowest = tail.size() > kEndSearch ? tail.size() - kEndSearch : 0;
  for (size_t at = tail.size() - 22;; --at) {
    if (U32(tail, at) == kEndSig && at + 22 + U16(tail, at + 20) == tail.size()) {
      end = at;
      break;
    }
    if (at == lowest)
      break;
  }
  if (end == std::string::npos) {
    error = "no end-of-central-directory record";
    return false;
  }
  uint64_t count = U16(tail, end + 10);
  uint64_t dir_size = U32(tail, end + 12);
  uint64_t dir_offset = U32(tail, end + 16);
  const uint64_t end_offset = tail_at + end;
  // A Zip64 locator before the end record points at the Zip64 end record. The bytes there may
  // also be the tail of the last entry's name that happen to look like a locator: only a locator
  // whose record is there counts, and it is required only when the classic fields are full.
  const bool classic_full = count == 0xFFFF || dir_size == 0xFFFFFFFF || dir_offset == 0xFFFFFFFF;
  bool zip64 = false;
  if (end >= kLocatorSize && U32(tail, end - kLocatorSize) == kZip64LocatorSig) {
    const uint64_t z64 = U64(tail, end - kLocatorSize + 8);
    std::string record;
    if (z64 <= end_offset && end_offset - z64 >= kZip64EndSize &&
        ReadString(in, z64, kZip64EndSize, record) && U32(record, 0) == kZip64EndSig) {
      count = U64(record, 32);
      dir_size = U64(record, 40);
      dir_offset = U64(record, 48);
      zip64 = true;
    }
  }
  if (classic_full && !zip64) {
    error = "damaged Zip64 end record";
    return false;
  }
  if (dir_offset > size || dir_size > size - dir_offset) {
    error = "central directory lies outside the file";
    return false;
  }
  // The directory is read record by record, so that a damaged size never costs memory.
  uint64_t p = dir_offset;
  const uint64_t dir_end = dir_offset + dir_size;
  std::string fixed, variable;
  for (uint64_t i = 0; i < count; ++i) {
    if (dir_end - p < 46 || !ReadString(in, p, 46, fixed) || U32(fixed, 0) != kCentralSig) {
      error =
          StrPrintf("central directory entry %llu is damaged", static_cast<unsigned long long>(i));
      return false;
    }
    ZipEntry e;
    e.version_made_by = U16(fixed, 4);
    e.version_needed = U16(fixed, 6);
    e.flags = U16(fixed, 8);
    e.method = U16(fixed, 10);
    e.dos_time = U16(fixed, 12);
    e.dos_date = U16(fixed, 14);
    e.crc32 = U32(fixed, 16);
    e.compressed_size = U32(fixed, 20);
    e.uncompressed_size = U32(fixed, 24);
    const size_t name_len = U16(fixed, 28), extra_len = U16(fixed, 30),
                 comment_len = U16(fixed, 32);
    e.external_attributes = U32(fixed, 38);
    e.local_header_offset = U32(fixed, 42);
    const size_t record_rest = name_len + extra_len + comment_len;
    if (dir_end - p - 46 < record_rest || !ReadString(in, p + 46, name_len + extra_len, variable)) {
      error = StrPrintf("central directory entry %llu runs past the directory",
                        static_cast<unsigned long long>(i));
      return false;
    }
    e.name.assign(variable, 0, name_len);
    // Zip64 extra field: the values that are all ones in the classic fields, in order.
    const size_t extra_end = name_len + extra_len;
    for (size_t x = name_len; x + 4 <= extra_end;) {
      const uint16_t id = U16(variable, x), len = U16(variable, x + 2);
      if (x + 4 + len > extra_end)
        break;
      if (id == 1) {
        e.zip64 = true;
        size_t v = x + 4;
        auto take = [&](uint64_t& field) {
          if (field == 0xFFFFFFFF && v + 8 <= x + 4 + len) {
            field = U64(variable, v);
            v += 8;
          }
        };
        take(e.uncompressed_size);
        take(e.compressed_size);
        take(e.local_header_offset);
      }
      x += 4 + len;
    }
    entries_.push_back(std::move(e));
    p += 46 + record_rest;
  }
  return true;
}

bool ZipReader::DataOffset(const ZipEntry& e, uint64_t& offset, std::string& error) const {
  const uint64_t size = input_ != nullptr ? input_->Size() : 0;
  const uint64_t h = e.local_header_offset;
  std::string header;
  if (h > size || size - h < 30 || !ReadString(*input_, h, 30, header) ||
      U32(header, 0) != kLocalSig) {
    error = "local header of " + e.name + " is missing or damaged";
    return false;
  }
  const uint64_t start = h + 30 + U16(header, 26) + U16(header, 28);
  if (start > size || e.compressed_size > size - start) {
    error = "data of " + e.name + " runs past the end of the archive";
    return false;
  }
  offset = start;
  return true;
}

bool ZipReader::Stream(const ZipEntry& e, const std::function<bool(std::string_view)>& out,
                       std::string& error) const {
  uint64_t start = 0;
  if (!DataOffset(e, start, error))
    return false;
  if (e.method != 0 && e.method != 8) {
    error = StrPrintf("%s uses compression method %u, which this reader does not know",
                      e.name.c_str(), e.method);
    return false;
  }
  constexpr size_t kChunk = 1 << 16;
  std::vector<char> in(kChunk), buffer(kChunk);
  uLong crc = crc32(0L, Z_NULL, 0);
  uint64_t produced = 0;
  bool stopped = false;
  auto emit = [&](const char* data, size_t n) {
    if (n == 0)
      return true;
    produced += n;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data), static_cast<uInt>(n));
    if (!out(std::string_view(data, n)))
      stopped = true;
    return !stopped;
  };
  uint64_t consumed = 0;
  auto fill = [&](size_t& n) {
    n = static_cast<size_t>(std::min<uint64_t>(kChunk, e.compressed_size - consumed));
    if (n > 0 && !input_->ReadAt(start + consumed, in.data(), n))
      return false;
    consumed += n;
    return true;
  };
  if (e.method == 0) {
    while (consumed < e.compressed_size && produced <= e.uncompressed_size) {
      size_t n = 0;
      if (!fill(n)) {
        error = "cannot read the data of " + e.name;
        return false;
      }
      if (!emit(in.data(), n))
        break;
    }
  } else {
    z_stream z = {};
    if (inflateInit2(&z, -15) != Z_OK) {
      error = "inflate cannot start";
      return false;
    }
    int rc = Z_OK;
    bool read_failed = false;
    while (rc == Z_OK && !stopped && produced <= e.uncompressed_size) {
      if (z.avail_in == 0) {
        size_t n = 0;
        if (!fill(n)) {
          read_failed = true;
          break;
        }
        z.next_in = reinterpret_cast<Bytef*>(in.data());
        z.avail_in = static_cast<uInt>(n);
      }
      z.next_out = reinterpret_cast<Bytef*>(buffer.data());
      z.avail_out = static_cast<uInt>(buffer.size());
      rc = inflate(&z, Z_NO_FLUSH);
      if (!emit(buffer.data(), buffer.size() - z.avail_out))
        break;
      if (rc == Z_BUF_ERROR && z.avail_in == 0 && consumed == e.compressed_size)
        break;
      if (rc == Z_BUF_ERROR)
        rc = Z_OK;  // more input is on its way
    }
    inflateEnd(&z);
    if (read_failed) {
      error = "cannot read the data of " + e.name;
      return false;
    }
    if (!stopped && rc != Z_STREAM_END && produced <= e.uncompressed_size) {
      error = "compressed data of " + e.name + " is damaged";
      return false;
    }
  }
  if (stopped) {
    error = "reading " + e.name + " was stopped";
    return false;
  }
  if (produced != e.uncompressed_size) {
    error = StrPrintf("%s has %s%llu bytes, the directory says %llu", e.name.c_str(),
                      produced > e.uncompressed_size ? "more than " : "",
                      static_cast<unsigned long long>(produced),
                      static_cast<unsigned long long>(e.uncompressed_size));
    return false;
  }
  if (crc != e.crc32) {
    error =
        StrPrintf("%s fails its CRC check (%08lX, expected %08X)", e.name.c_str(), crc, e.crc32);
    return false;
  }
  return true;
}

bool ZipReader::Read(const ZipEntry& e, std::string& data, std::string& error) const {
  data.clear();
  return Stream(
      e,
      [&](std::string_view piece) {
        data.append(piece);
        return true;
      },
      error);
}

std::string EntryNameUtf8(const ZipEntry& entry) {
  if (entry.flags & 0x0800)
    return entry.name;
  return Cp437ToUtf8(entry.name);
}

bool SafeRelativePath(const std::string& name, std::string& relative) {
  std::string n = name;
  for (char& c : n) {
    if (c == '\\')
      c = '/';
  }
  if (n.empty() || n[0] == '/' || (n.size() >= 2 && n[1] == ':'))
    return false;
  relative.clear();
  size_t start = 0;
  while (start <= n.size()) {
    size_t slash = n.find('/', start);
    if (slash == std::string::npos)
      slash = n.size();
    const std::string part = n.substr(start, slash - start);
    if (part == "..")
      return false;
    if (!part.empty() && part != ".") {
      if (part.find('\0') != std::string::npos || part.find(':') != std::string::npos)
        return false;
      if (!relative.empty())
        relative += '/';
      relative += part;
    }
    start = slash + 1;
  }
  return !relative.empty();
}

}  // namespace kovra
