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

// The four auxiliary functions of the rounds.
inline uint32_t F(uint32_t x, uint32_t y, uint32_t z) {
  return z ^ (x & (y ^ z));
}
inline uint32_t G(uint32_t x, uint32_t y, uint32_t z) {
  return y ^ (z & (x ^ y));
}
inline uint32_t H(uint32_t x, uint32_t y, uint32_t z) {
  return x ^ y ^ z;
}
inline uint32_t I(uint32_t x, uint32_t y, uint32_t z) {
  return y ^ (x | ~z);
}

template <uint32_t (*Fn)(uint32_t, uint32_t, uint32_t), int kShift>
inline void Step(uint32_t& a, uint32_t b, uint32_t c, uint32_t d, uint32_t message_plus_k) {
  const uint32_t t = a + Fn(b, c, d) + message_plus_k;
  a = b + ((t << kShift) | (t >> (32 - kShift)));
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
  // The 64 steps written out: the registers rotate by naming rather than by moves.
  Step<F, 7>(a, b, c, d, m[0] + kK[0]);
  Step<F, 12>(d, a, b, c, m[1] + kK[1]);
  Step<F, 17>(c, d, a, b, m[2] + kK[2]);
  Step<F, 22>(b, c, d, a, m[3] + kK[3]);
  Step<F, 7>(a, b, c, d, m[4] + kK[4]);
  Step<F, 12>(d, a, b, c, m[5] + kK[5]);
  Step<F, 17>(c, d, a, b, m[6] + kK[6]);
  Step<F, 22>(b, c, d, a, m[7] + kK[7]);
  Step<F, 7>(a, b, c, d, m[8] + kK[8]);
  Step<F, 12>(d, a, b, c, m[9] + kK[9]);
  Step<F, 17>(c, d, a, b, m[10] + kK[10]);
  Step<F, 22>(b, c, d, a, m[11] + kK[11]);
  Step<F, 7>(a, b, c, d, m[12] + kK[12]);
  Step<F, 12>(d, a, b, c, m[13] + kK[13]);
  Step<F, 17>(c, d, a, b, m[14] + kK[14]);
  Step<F, 22>(b, c, d, a, m[15] + kK[15]);
  Step<G, 5>(a, b, c, d, m[1] + kK[16]);
  Step<G, 9>(d, a, b, c, m[6] + kK[17]);
  Step<G, 14>(c, d, a, b, m[11] + kK[18]);
  Step<G, 20>(b, c, d, a, m[0] + kK[19]);
  Step<G, 5>(a, b, c, d, m[5] + kK[20]);
  Step<G, 9>(d, a, b, c, m[10] + kK[21]);
  Step<G, 14>(c, d, a, b, m[15] + kK[22]);
  Step<G, 20>(b, c, d, a, m[4] + kK[23]);
  Step<G, 5>(a, b, c, d, m[9] + kK[24]);
  Step<G, 9>(d, a, b, c, m[14] + kK[25]);
  Step<G, 14>(c, d, a, b, m[3] + kK[26]);
  Step<G, 20>(b, c, d, a, m[8] + kK[27]);
  Step<G, 5>(a, b, c, d, m[13] + kK[28]);
  Step<G, 9>(d, a, b, c, m[2] + kK[29]);
  Step<G, 14>(c, d, a, b, m[7] + kK[30]);
  Step<G, 20>(b, c, d, a, m[12] + kK[31]);
  Step<H, 4>(a, b, c, d, m[5] + kK[32]);
  Step<H, 11>(d, a, b, c, m[8] + kK[33]);
  Step<H, 16>(c, d, a, b, m[11] + kK[34]);
  Step<H, 23>(b, c, d, a, m[14] + kK[35]);
  Step<H, 4>(a, b, c, d, m[1] + kK[36]);
  Step<H, 11>(d, a, b, c, m[4] + kK[37]);
  Step<H, 16>(c, d, a, b, m[7] + kK[38]);
  Step<H, 23>(b, c, d, a, m[10] + kK[39]);
  Step<H, 4>(a, b, c, d, m[13] + kK[40]);
  Step<H, 11>(d, a, b, c, m[0] + kK[41]);
  Step<H, 16>(c, d, a, b, m[3] + kK[42]);
  Step<H, 23>(b, c, d, a, m[6] + kK[43]);
  Step<H, 4>(a, b, c, d, m[9] + kK[44]);
  Step<H, 11>(d, a, b, c, m[12] + kK[45]);
  Step<H, 16>(c, d, a, b, m[15] + kK[46]);
  Step<H, 23>(b, c, d, a, m[2] + kK[47]);
  Step<I, 6>(a, b, c, d, m[0] + kK[48]);
  Step<I, 10>(d, a, b, c, m[7] + kK[49]);
  Step<I, 15>(c, d, a, b, m[14] + kK[50]);
  Step<I, 21>(b, c, d, a, m[5] + kK[51]);
  Step<I, 6>(a, b, c, d, m[12] + kK[52]);
  Step<I, 10>(d, a, b, c, m[3] + kK[53]);
  Step<I, 15>(c, d, a, b, m[10] + kK[54]);
  Step<I, 21>(b, c, d, a, m[1] + kK[55]);
  Step<I, 6>(a, b, c, d, m[8] + kK[56]);
  Step<I, 10>(d, a, b, c, m[15] + kK[57]);
  Step<I, 15>(c, d, a, b, m[6] + kK[58]);
  Step<I, 21>(b, c, d, a, m[13] + kK[59]);
  Step<I, 6>(a, b, c, d, m[4] + kK[60]);
  Step<I, 10>(d, a, b, c, m[11] + kK[61]);
  Step<I, 15>(c, d, a, b, m[2] + kK[62]);
  Step<I, 21>(b, c, d, a, m[9] + kK[63]);
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
