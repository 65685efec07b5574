#include "app/zip_reader.h"

#include <zlib.h>

#include <algorithm>

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

constexpr uint32_t kLocalSig = 0x04034B50, kCentralSig = 0x02014B50, kEndSig = 0x06054B50;
constexpr uint32_t kZip64EndSig = 0x06064B50, kZip64LocatorSig = 0x07064B50;

}  // namespace

bool LooksLikeZip(std::string_view b) {
  return b.size() >= 4 && (U32(b, 0) == kLocalSig || (U32(b, 0) == kEndSig && b.size() >= 22));
}

bool ZipReader::Open(std::string_view a, std::string& error) {
  archive_ = a;
  entries_.clear();
  if (a.size() < 22) {
    error = "too short for a ZIP archive";
    return false;
  }
  size_t end = std::string_view::npos;
  const size_t lowest = a.size() > 22 + 65535 ? a.size() - 22 - 65535 : 0;
  for (size_t at = a.size() - 22;; --at) {
    if (U32(a, at) == kEndSig && at + 22 + U16(a, at + 20) == a.size()) {
      end = at;
      break;
    }
    if (at == lowest)
      break;
  }
  if (end == std::string_view::npos) {
    error = "no end-of-central-directory record";
    return false;
  }
  uint64_t count = U16(a, end + 10);
  uint64_t dir_size = U32(a, end + 12);
  uint64_t dir_offset = U32(a, end + 16);
  if (end >= 20 && U32(a, end - 20) == kZip64LocatorSig) {
    const uint64_t z64 = U64(a, end - 20 + 8);
    if (z64 > a.size() - 56 || U32(a, static_cast<size_t>(z64)) != kZip64EndSig) {
      error = "damaged Zip64 end record";
      return false;
    }
    count = U64(a, static_cast<size_t>(z64) + 32);
    dir_size = U64(a, static_cast<size_t>(z64) + 40);
    dir_offset = U64(a, static_cast<size_t>(z64) + 48);
  }
  if (dir_offset > a.size() || dir_size > a.size() - dir_offset) {
    error = "central directory lies outside the file";
    return false;
  }
  size_t p = static_cast<size_t>(dir_offset);
  const size_t dir_end = static_cast<size_t>(dir_offset + dir_size);
  for (uint64_t i = 0; i < count; ++i) {
    if (p + 46 > dir_end || U32(a, p) != kCentralSig) {
      error =
          StrPrintf("central directory entry %llu is damaged", static_cast<unsigned long long>(i));
      return false;
    }
    ZipEntry e;
    e.version_made_by = U16(a, p + 4);
    e.version_needed = U16(a, p + 6);
    e.flags = U16(a, p + 8);
    e.method = U16(a, p + 10);
    e.dos_time = U16(a, p + 12);
    e.dos_date = U16(a, p + 14);
    e.crc32 = U32(a, p + 16);
    e.compressed_size = U32(a, p + 20);
    e.uncompressed_size = U32(a, p + 24);
    const size_t name_len = U16(a, p + 28), extra_len = U16(a, p + 30),
                 comment_len = U16(a, p + 32);
    e.external_attributes = U32(a, p + 38);
    e.local_header_offset = U32(a, p + 42);
    if (p + 46 + name_len + extra_len + comment_len > dir_end) {
      error = StrPrintf("central directory entry %llu runs past the directory",
                        static_cast<unsigned long long>(i));
      return false;
    }
    e.name.assign(a.substr(p + 46, name_len));
    // Zip64 extra field: the values that are all ones in the classic fields, in order.
    for (size_t x = p + 46 + name_len; x + 4 <= p + 46 + name_len + extra_len;) {
      const uint16_t id = U16(a, x), len = U16(a, x + 2);
      if (x + 4 + len > p + 46 + name_len + extra_len)
        break;
      if (id == 1) {
        e.zip64 = true;
        size_t v = x + 4;
        auto take = [&](uint64_t& field) {
          if (field == 0xFFFFFFFF && v + 8 <= x + 4 + len) {
            field = U64(a, v);
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
    p += 46 + name_len + extra_len + comment_len;
  }
  return true;
}

bool ZipReader::RawData(const ZipEntry& e, std::string_view& compressed, std::string& error) const {
  const std::string_view a = archive_;
  const uint64_t h = e.local_header_offset;
  if (h > a.size() || a.size() - h < 30 || U32(a, static_cast<size_t>(h)) != kLocalSig) {
    error = "local header of " + e.name + " is missing or damaged";
    return false;
  }
  const uint64_t start =
      h + 30 + U16(a, static_cast<size_t>(h) + 26) + U16(a, static_cast<size_t>(h) + 28);
  if (start > a.size() || e.compressed_size > a.size() - start) {
    error = "data of " + e.name + " runs past the end of the archive";
    return false;
  }
  compressed = a.substr(static_cast<size_t>(start), static_cast<size_t>(e.compressed_size));
  return true;
}

bool ZipReader::Read(const ZipEntry& e, std::string& data, std::string& error) const {
  data.clear();
  std::string_view in;
  if (!RawData(e, in, error))
    return false;
  if (e.method == 0) {
    data.assign(in);
  } else if (e.method == 8) {
    z_stream z = {};
    if (inflateInit2(&z, -15) != Z_OK) {
      error = "inflate cannot start";
      return false;
    }
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    char buffer[65536];
    int rc = Z_OK;
    while (rc == Z_OK) {
      z.next_out = reinterpret_cast<Bytef*>(buffer);
      z.avail_out = sizeof buffer;
      rc = inflate(&z, Z_NO_FLUSH);
      data.append(buffer, sizeof buffer - z.avail_out);
      if (data.size() > e.uncompressed_size)
        break;
      if (rc == Z_BUF_ERROR && z.avail_in == 0)
        break;
    }
    inflateEnd(&z);
    if (rc != Z_STREAM_END) {
      error = "compressed data of " + e.name + " is damaged";
      return false;
    }
  } else {
    error = StrPrintf("%s uses compression method %u, which this reader does not know",
                      e.name.c_str(), e.method);
    return false;
  }
  if (data.size() != e.uncompressed_size) {
    error = StrPrintf("%s has %llu bytes, the directory says %llu", e.name.c_str(),
                      static_cast<unsigned long long>(data.size()),
                      static_cast<unsigned long long>(e.uncompressed_size));
    return false;
  }
  uLong crc = crc32(0L, Z_NULL, 0);
  for (size_t at = 0; at < data.size(); at += 1u << 30) {
    const size_t n = std::min<size_t>(data.size() - at, 1u << 30);
    crc = crc32(crc, reinterpret_cast<const Bytef*>(data.data() + at), static_cast<uInt>(n));
  }
  if (crc != e.crc32) {
    error =
        StrPrintf("%s fails its CRC check (%08lX, expected %08X)", e.name.c_str(), crc, e.crc32);
    return false;
  }
  return true;
}

std::string EntryNameUtf8(const ZipEntry& entry) {
  if (entry.flags & 0x0800)
    return entry.name;
  static constexpr char16_t kCp437High[128] = {
      0x00C7, 0x00FC, 0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8,
      0x00EF, 0x00EE, 0x00EC, 0x00C4, 0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2,
      0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2, 0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1,
      0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF, 0x2310, 0x00AC, 0x00BD,
      0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562,
      0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534,
      0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560,
      0x2550, 0x256C, 0x2567, 0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
      0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393,
      0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398, 0x03A9, 0x03B4, 0x221E, 0x03C6,
      0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7, 0x2248, 0x00B0,
      0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0,
  };
  std::u16string text;
  for (const char c : entry.name) {
    const auto b = static_cast<unsigned char>(c);
    text += b < 0x80 ? static_cast<char16_t>(b) : kCp437High[b - 0x80];
  }
  return Utf16ToUtf8(text);
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
