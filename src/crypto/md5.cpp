#include "crypto/md5.h"

#include <algorithm>
#include <cstring>

namespace kovra {

namespace {

constexpr uint32_t kK[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};
constexpr int kR[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                        5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                        4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                        6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

inline uint32_t RotL(uint32_t x, int n) {
  return (x << n) | (x >> (32 - n));
}

}  // namespace

void Md5::Init() {
  state_[0] = 0x67452301;
  state_[1] = 0xefcdab89;
  state_[2] = 0x98badcfe;
  state_[3] = 0x10325476;
  count_[0] = count_[1] = 0;
  memset(buffer_, 0, sizeof buffer_);
}

void Md5::Transform(const uint8_t* p) {
  uint32_t m[16];
  for (int i = 0; i < 16; ++i) {
    m[i] = p[4 * i] | (p[4 * i + 1] << 8) | (p[4 * i + 2] << 16) |
           (static_cast<uint32_t>(p[4 * i + 3]) << 24);
  }
  uint32_t a = state_[0], b = state_[1], c = state_[2], d = state_[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = d ^ (b & (c ^ d));
      g = i;
    } else if (i < 32) {
      f = c ^ (d & (b ^ c));
      g = (5 * i + 1) & 15;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) & 15;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) & 15;
    }
    const uint32_t next = b + RotL(a + f + kK[i] + m[g], kR[i]);
    a = d;
    d = c;
    c = b;
    b = next;
  }
  state_[0] += a;
  state_[1] += b;
  state_[2] += c;
  state_[3] += d;
}

void Md5::Update(const void* data, size_t size) {
  const auto* p = static_cast<const uint8_t*>(data);
  size_t used = (count_[0] >> 3) & 63;
  const uint64_t bits =
      (static_cast<uint64_t>(count_[1]) << 32 | count_[0]) + (static_cast<uint64_t>(size) << 3);
  count_[0] = static_cast<uint32_t>(bits);
  count_[1] = static_cast<uint32_t>(bits >> 32);
  if (used > 0) {
    const size_t take = std::min(size, 64 - used);
    memcpy(buffer_ + used, p, take);
    used += take;
    p += take;
    size -= take;
    if (used < 64)
      return;
    Transform(buffer_);
  }
  // Whole blocks are processed where they lie; only the tail is copied.
  for (; size >= 64; p += 64, size -= 64)
    Transform(p);
  memcpy(buffer_, p, size);
}

std::array<uint8_t, 16> Md5::Final() {
  uint8_t length[8];
  for (int i = 0; i < 4; ++i) {
    length[i] = static_cast<uint8_t>(count_[0] >> (8 * i));
    length[4 + i] = static_cast<uint8_t>(count_[1] >> (8 * i));
  }
  const size_t used = (count_[0] >> 3) & 63;
  static const uint8_t kPad[64] = {0x80};
  Update(kPad, used < 56 ? 56 - used : 120 - used);
  Update(length, 8);
  std::array<uint8_t, 16> digest;
  for (int i = 0; i < 16; ++i)
    digest[i] = static_cast<uint8_t>(state_[i / 4] >> (8 * (i % 4)));
  memset(state_, 0, sizeof state_);
  memset(count_, 0, sizeof count_);
  memset(buffer_, 0, sizeof buffer_);
  return digest;
}

std::string Md5Hex(const std::array<uint8_t, 16>& digest) {
  static const char kHex[] = "0123456789abcdef";
  std::string s;
  for (uint8_t b : digest) {
    s += kHex[b >> 4];
    s += kHex[b & 15];
  }
  return s;
}

std::string Md5OfBytes(std::string_view bytes) {
  Md5 md5;
  md5.Update(bytes.data(), bytes.size());
  return Md5Hex(md5.Final());
}

}  // namespace kovra
