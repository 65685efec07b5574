#include "crypto/descrypt.h"

#include <algorithm>
#include <cstring>
#include <thread>
#include <vector>

#include "base/parallel_for.h"
#include "base/text.h"

namespace kovra {

namespace {

// The tables of the standard, bit 1 being the most significant bit.
constexpr uint8_t kIp[64] = {58, 50, 42, 34, 26, 18, 10, 2, 60, 52, 44, 36, 28, 20, 12, 4,
                             62, 54, 46, 38, 30, 22, 14, 6, 64, 56, 48, 40, 32, 24, 16, 8,
                             57, 49, 41, 33, 25, 17, 9,  1, 59, 51, 43, 35, 27, 19, 11, 3,
                             61, 53, 45, 37, 29, 21, 13, 5, 63, 55, 47, 39, 31, 23, 15, 7};
constexpr uint8_t kFp[64] = {40, 8, 48, 16, 56, 24, 64, 32, 39, 7, 47, 15, 55, 23, 63, 31,
                             38, 6, 46, 14, 54, 22, 62, 30, 37, 5, 45, 13, 53, 21, 61, 29,
                             36, 4, 44, 12, 52, 20, 60, 28, 35, 3, 43, 11, 51, 19, 59, 27,
                             34, 2, 42, 10, 50, 18, 58, 26, 33, 1, 41, 9,  49, 17, 57, 25};
constexpr uint8_t kP[32] = {16, 7, 20, 21, 29, 12, 28, 17, 1,  15, 23, 26, 5,  18, 31, 10,
                            2,  8, 24, 14, 32, 27, 3,  9,  19, 13, 30, 6,  22, 11, 4,  25};
constexpr uint8_t kPc1[56] = {57, 49, 41, 33, 25, 17, 9,  1,  58, 50, 42, 34, 26, 18,
                              10, 2,  59, 51, 43, 35, 27, 19, 11, 3,  60, 52, 44, 36,
                              63, 55, 47, 39, 31, 23, 15, 7,  62, 54, 46, 38, 30, 22,
                              14, 6,  61, 53, 45, 37, 29, 21, 13, 5,  28, 20, 12, 4};
constexpr uint8_t kPc2[48] = {14, 17, 11, 24, 1,  5,  3,  28, 15, 6,  21, 10, 23, 19, 12, 4,
                              26, 8,  16, 7,  27, 20, 13, 2,  41, 52, 31, 37, 47, 55, 30, 40,
                              51, 45, 33, 48, 44, 49, 39, 56, 34, 53, 46, 42, 50, 36, 29, 32};
constexpr uint8_t kShifts[16] = {1, 1, 2, 2, 2, 2, 2, 2, 1, 2, 2, 2, 2, 2, 2, 1};
constexpr uint8_t kS[8][64] = {
    {14, 4,  13, 1, 2,  15, 11, 8, 3, 10, 6, 12, 5,  9,  0,  7,  0,  15, 7,  4,  14, 2,
     13, 1,  10, 6, 12, 11, 9,  5, 3, 8,  4, 1,  14, 8,  13, 6,  2,  11, 15, 12, 9,  7,
     3,  10, 5,  0, 15, 12, 8,  2, 4, 9,  1, 7,  5,  11, 3,  14, 10, 0,  6,  13},
    {15, 1,  8,  14, 6,  11, 3,  4, 9,  7,  2, 13, 12, 0,  5,  10, 3,  13, 4,  7, 15, 2,
     8,  14, 12, 0,  1,  10, 6,  9, 11, 5,  0, 14, 7,  11, 10, 4,  13, 1,  5,  8, 12, 6,
     9,  3,  2,  15, 13, 8,  10, 1, 3,  15, 4, 2,  11, 6,  7,  12, 0,  5,  14, 9},
    {10, 0,  9,  14, 6, 3,  15, 5,  1,  13, 12, 7, 11, 4,  2,  8,  13, 7, 0,  9, 3, 4,
     6,  10, 2,  8,  5, 14, 12, 11, 15, 1,  13, 6, 4,  9,  8,  15, 3,  0, 11, 1, 2, 12,
     5,  10, 14, 7,  1, 10, 13, 0,  6,  9,  8,  7, 4,  15, 14, 3,  11, 5, 2,  12},
    {7, 13, 14, 3, 0, 6,  9, 10, 1,  2, 8,  5, 11, 12, 4,  15, 13, 8,  11, 5, 6, 15,
     0, 3,  4,  7, 2, 12, 1, 10, 14, 9, 10, 6, 9,  0,  12, 11, 7,  13, 15, 1, 3, 14,
     5, 2,  8,  4, 3, 15, 0, 6,  10, 1, 13, 8, 9,  4,  5,  11, 12, 7,  2,  14},
    {2,  12, 4, 1,  7,  10, 11, 6, 8, 5,  3, 15, 13, 0,  14, 9,  14, 11, 2,  12, 4,  7,
     13, 1,  5, 0,  15, 10, 3,  9, 8, 6,  4, 2,  1,  11, 10, 13, 7,  8,  15, 9,  12, 5,
     6,  3,  0, 14, 11, 8,  12, 7, 1, 14, 2, 13, 6,  15, 0,  9,  10, 4,  5,  3},
    {12, 1,  10, 15, 9,  2,  6, 8,  0, 13, 3,  4,  14, 7,  5, 11, 10, 15, 4, 2, 7, 12,
     9,  5,  6,  1,  13, 14, 0, 11, 3, 8,  9,  14, 15, 5,  2, 8,  12, 3,  7, 0, 4, 10,
     1,  13, 11, 6,  4,  3,  2, 12, 9, 5,  15, 10, 11, 14, 1, 7,  6,  0,  8, 13},
    {4, 11, 2,  14, 15, 0,  8,  13, 3, 12, 9,  7, 5,  10, 6,  1,  13, 0,  11, 7,  4, 9,
     1, 10, 14, 3,  5,  12, 2,  15, 8, 6,  1,  4, 11, 13, 12, 3,  7,  14, 10, 15, 6, 8,
     0, 5,  9,  2,  6,  11, 13, 8,  1, 4,  10, 7, 9,  5,  0,  15, 14, 2,  3,  12},
    {13, 2, 8,  4, 6, 15, 11, 1,  10, 9,  3, 14, 5,  0,  12, 7,  1,  15, 13, 8, 10, 3,
     7,  4, 12, 5, 6, 11, 0,  14, 9,  2,  7, 11, 4,  1,  9,  12, 14, 2,  0,  6, 10, 13,
     15, 3, 5,  8, 2, 1,  14, 7,  4,  10, 8, 13, 15, 12, 9,  0,  3,  5,  6,  11},
};

// Precomputed from the tables above: byte-wise lookups for the 64-bit permutations, and the
// S-boxes combined with the round permutation.
struct Tables {
  uint64_t ip[8][256];
  uint64_t fp[8][256];
  uint32_t sp[8][64];

  static void BuildPermutation(const uint8_t (&perm)[64], uint64_t (&out)[8][256]) {
    for (int byte = 0; byte < 8; ++byte) {
      for (int v = 0; v < 256; ++v) {
        const uint64_t in = static_cast<uint64_t>(v) << (56 - 8 * byte);
        uint64_t r = 0;
        for (int i = 0; i < 64; ++i) {
          if (in >> (64 - perm[i]) & 1)
            r |= uint64_t{1} << (63 - i);
        }
        out[byte][v] = r;
      }
    }
  }

  Tables() {
    BuildPermutation(kIp, ip);
    BuildPermutation(kFp, fp);
    for (int box = 0; box < 8; ++box) {
      for (int v = 0; v < 64; ++v) {
        const int row = ((v >> 4) & 2) | (v & 1);
        const int col = (v >> 1) & 0xF;
        const uint32_t s = static_cast<uint32_t>(kS[box][row * 16 + col]) << (28 - 4 * box);
        uint32_t p = 0;
        for (int i = 0; i < 32; ++i) {
          if (s >> (32 - kP[i]) & 1)
            p |= 1u << (31 - i);
        }
        sp[box][v] = p;
      }
    }
  }
};

const Tables& T() {
  static const Tables tables;
  return tables;
}

uint64_t Permute64(const uint64_t (&table)[8][256], uint64_t x) {
  uint64_t r = 0;
  for (int byte = 0; byte < 8; ++byte)
    r |= table[byte][(x >> (56 - 8 * byte)) & 0xFF];
  return r;
}

uint32_t RotR(uint32_t x, int n) {
  return n == 0 ? x : (x >> n) | (x << (32 - n));
}

uint64_t Load(const uint8_t* p) {
  uint64_t v = 0;
  for (int i = 0; i < 8; ++i)
    v = (v << 8) | p[i];
  return v;
}

void Store(uint64_t v, uint8_t* p) {
  for (int i = 7; i >= 0; --i, v >>= 8)
    p[i] = static_cast<uint8_t>(v);
}

}  // namespace

DesBlock FoldKey(std::string_view key_text) {
  DesBlock k{};
  for (size_t j = 0; j < key_text.size(); ++j) {
    k[(j + 1) % 8] = static_cast<uint8_t>(k[(j + 1) % 8] + static_cast<uint8_t>(key_text[j]));
  }
  return k;
}

DesKeySchedule::DesKeySchedule(const DesBlock& key) {
  const uint64_t k = Load(key.data());
  uint32_t c = 0, d = 0;
  for (int i = 0; i < 28; ++i) {
    c = (c << 1) | static_cast<uint32_t>(k >> (64 - kPc1[i]) & 1);
    d = (d << 1) | static_cast<uint32_t>(k >> (64 - kPc1[28 + i]) & 1);
  }
  for (int round = 0; round < 16; ++round) {
    for (int s = 0; s < kShifts[round]; ++s) {
      c = ((c << 1) | (c >> 27)) & 0x0FFFFFFF;
      d = ((d << 1) | (d >> 27)) & 0x0FFFFFFF;
    }
    const uint64_t cd = (static_cast<uint64_t>(c) << 28) | d;  // bits 1..56 of C and D
    for (int box = 0; box < 8; ++box) {
      uint8_t six = 0;
      for (int b = 0; b < 6; ++b)
        six = static_cast<uint8_t>((six << 1) | (cd >> (56 - kPc2[box * 6 + b]) & 1));
      subkeys_[round][box] = six;
    }
    // Box b reads R rotated right by (27 - 4b) mod 32: its key bits go where that window lies.
    round_words_[round][0] = round_words_[round][1] = 0;
    for (int box = 0; box < 8; ++box) {
      const int shift = (27 - 4 * box) & 31;
      const uint32_t bits = subkeys_[round][box];
      round_words_[round][box % 2] |= shift == 0 ? bits : (bits << shift) | (bits >> (32 - shift));
    }
  }
}

uint64_t DesKeySchedule::Crypt(uint64_t block, bool decrypt) const {
  const Tables& t = T();
  const uint64_t x = Permute64(t.ip, block);
  uint32_t l = static_cast<uint32_t>(x >> 32);
  uint32_t r = static_cast<uint32_t>(x);
  for (int i = 0; i < 16; ++i) {
    // The even S-boxes read non-overlapping windows of R, and so do the odd ones: their six key
    // bits each go into one word, two XORs a round instead of eight.
    const uint32_t* k = round_words_[decrypt ? 15 - i : i];
    const uint32_t even = r ^ k[0], odd = r ^ k[1];
    const uint32_t f = t.sp[0][RotR(even, 27) & 0x3F] | t.sp[1][RotR(odd, 23) & 0x3F] |
                       t.sp[2][RotR(even, 19) & 0x3F] | t.sp[3][RotR(odd, 15) & 0x3F] |
                       t.sp[4][RotR(even, 11) & 0x3F] | t.sp[5][RotR(odd, 7) & 0x3F] |
                       t.sp[6][RotR(even, 3) & 0x3F] | t.sp[7][RotR(odd, 31) & 0x3F];
    const uint32_t next = l ^ f;
    l = r;
    r = next;
  }
  return Permute64(t.fp, (static_cast<uint64_t>(r) << 32) | l);
}

DesBlock DesKeySchedule::Encrypt(const DesBlock& block) const {
  DesBlock out;
  Store(Crypt(Load(block.data()), false), out.data());
  return out;
}

DesBlock DesKeySchedule::Decrypt(const DesBlock& block) const {
  DesBlock out;
  Store(Crypt(Load(block.data()), true), out.data());
  return out;
}

void DesKeySchedule::CryptBlocks(uint8_t* data, size_t blocks, bool decrypt) const {
  // Electronic codebook: every block stands alone, so large runs are split over the cores.
  constexpr size_t kMinBlocksPerThread = 16384;  // 128 KiB
  const auto run = [this, decrypt](uint8_t* p, size_t n) {
    for (size_t i = 0; i < n; ++i, p += 8)
      Store(Crypt(Load(p), decrypt), p);
  };
  const size_t cores = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, 4);
  const size_t parts = std::min(cores, std::max<size_t>(1, blocks / kMinBlocksPerThread));
  if (parts <= 1) {
    run(data, blocks);
    return;
  }
  const size_t per = (blocks + parts - 1) / parts;
  ForEachIndex(parts, static_cast<unsigned>(parts), [&](size_t part) {
    const size_t begin = part * per;
    if (begin < blocks)
      run(data + begin * 8, std::min(per, blocks - begin));
  });
}

void DesKeySchedule::EncryptBlocks(uint8_t* data, size_t blocks) const {
  CryptBlocks(data, blocks, false);
}

void DesKeySchedule::DecryptBlocks(uint8_t* data, size_t blocks) const {
  CryptBlocks(data, blocks, true);
}

DesBlock EncryptBlock(const DesBlock& plain, std::string_view key_text) {
  try {
    return DesKeySchedule(FoldKey(key_text)).Encrypt(plain);
  } catch (...) {
    return DesBlock{};
  }
}

DesContainerEncoder::DesContainerEncoder(std::string_view key_text)
    : schedule_(FoldKey(key_text)) {}

void DesContainerEncoder::Update(const uint8_t* data, size_t size, std::string& out) {
  length_ += size;
  if (tail_size_ > 0) {
    const size_t take = std::min(size, 8 - tail_size_);
    memcpy(tail_ + tail_size_, data, take);
    tail_size_ += take;
    data += take;
    size -= take;
    if (tail_size_ < 8)
      return;
    schedule_.EncryptBlocks(tail_, 1);
    out.append(reinterpret_cast<const char*>(tail_), 8);
    tail_size_ = 0;
  }
  const size_t whole = size / 8;
  const size_t at = out.size();
  out.append(reinterpret_cast<const char*>(data), whole * 8);
  schedule_.EncryptBlocks(reinterpret_cast<uint8_t*>(out.data() + at), whole);
  tail_size_ = size - whole * 8;
  memcpy(tail_, data + whole * 8, tail_size_);
}

void DesContainerEncoder::Finish(std::string& out) {
  if (tail_size_ > 0) {
    memset(tail_ + tail_size_, 0, 8 - tail_size_);
    schedule_.EncryptBlocks(tail_, 1);
    out.append(reinterpret_cast<const char*>(tail_), 8);
    tail_size_ = 0;
  }
  const uint32_t l = static_cast<uint32_t>(length_);
  for (int i = 0; i < 4; ++i)
    out += static_cast<char>((l >> (8 * i)) & 0xFF);
}

void EncryptStream(const std::string& source, std::string& destination, std::string_view key_text) {
  if (source.empty() || key_text.empty())
    return;
  DesContainerEncoder encoder(key_text);
  encoder.Update(reinterpret_cast<const uint8_t*>(source.data()), source.size(), destination);
  encoder.Finish(destination);
}

bool ContainerPlainLength(uint64_t container_size, const uint8_t* t, uint64_t& length,
                          std::string& error) {
  if (container_size < 4 || (container_size - 4) % 8 != 0) {
    error = StrPrintf("container size %llu is not 8 x N + 4 bytes",
                      static_cast<unsigned long long>(container_size));
    return false;
  }
  const uint64_t blocks = container_size - 4;
  length = t[0] | (t[1] << 8) | (t[2] << 16) | (static_cast<uint64_t>(t[3]) << 24);
  if (length > blocks) {
    error =
        StrPrintf("length trailer %llu is longer than the %llu enciphered bytes",
                  static_cast<unsigned long long>(length), static_cast<unsigned long long>(blocks));
    return false;
  }
  if (blocks - length >= 8) {
    error =
        StrPrintf("length trailer %llu leaves more than one block of padding in %llu bytes",
                  static_cast<unsigned long long>(length), static_cast<unsigned long long>(blocks));
    return false;
  }
  return true;
}

bool DecryptContainer(std::string_view container, std::string_view key_text, std::string& plain,
                      std::string& error) {
  const uint8_t none[4] = {};
  uint64_t length = 0;
  const auto* trailer =
      container.size() >= 4
          ? reinterpret_cast<const uint8_t*>(container.data() + container.size() - 4)
          : none;
  if (!ContainerPlainLength(container.size(), trailer, length, error))
    return false;
  const size_t blocks_size = container.size() - 4;
  plain.assign(container.data(), blocks_size);
  DesKeySchedule(FoldKey(key_text))
      .DecryptBlocks(reinterpret_cast<uint8_t*>(plain.data()), blocks_size / 8);
  plain.resize(static_cast<size_t>(length));
  return true;
}

}  // namespace kovra
