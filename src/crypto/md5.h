// MD5 (RFC 1321) with its incremental steps, and the text form quoted in inventories.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kovra {

class Md5 {
 public:
  Md5() { Init(); }
  void Init();
  void Update(const void* data, size_t size);
  // Finishes into 16 bytes and wipes the state.
  std::array<uint8_t, 16> Final();

 private:
  void Transform(const uint8_t* block);
  uint32_t state_[4];
  uint32_t count_[2];  // bit count, low and high halves
  uint8_t buffer_[64];
};

// 32 lowercase hexadecimal digits.
std::string Md5Hex(const std::array<uint8_t, 16>& digest);
std::string Md5OfBytes(std::string_view bytes);

// The digest of empty input, which every failure to read a file gives.
inline constexpr char kEmptyMd5[] = "d41d8cd98f00b204e9800998ecf8427e";

}  // namespace kovra
