// The report cipher container: DES in electronic codebook mode over 8-byte
// blocks, followed by the plain length as a 32-bit little-endian trailer.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kovra {

using DesBlock = std::array<uint8_t, 8>;

// The report key string.
inline constexpr char kReportKey[] = "qzmvtrylbsed";

// Byte j of the key text is added (mod 256) onto position (j + 1) mod 8.
DesBlock FoldKey(std::string_view key_text);

// The 16 round keys of one DES key, built once and used for any number of blocks.
class DesKeySchedule {
 public:
  explicit DesKeySchedule(const DesBlock& key);
  DesBlock Encrypt(const DesBlock& block) const;
  DesBlock Decrypt(const DesBlock& block) const;
  // In place over n whole blocks.
  void EncryptBlocks(uint8_t* data, size_t blocks) const;
  void DecryptBlocks(uint8_t* data, size_t blocks) const;

 private:
  uint64_t Crypt(uint64_t block, bool decrypt) const;
  void CryptBlocks(uint8_t* data, size_t blocks, bool decrypt) const;
  uint8_t subkeys_[16][8];       // six bits per S-box per round
  uint32_t round_words_[16][2];  // the even and the odd boxes' key bits, placed in R's windows
};

// One block under the DES key folded from the 8-bit key text.
DesBlock EncryptBlock(const DesBlock& plain, std::string_view key_text);

// Streams plain bytes into container bytes with bounded memory: whole blocks go out as they
// are complete, the tail block and the trailer at Finish.
class DesContainerEncoder {
 public:
  explicit DesContainerEncoder(std::string_view key_text);
  // Appends the enciphered whole blocks of `data` (with any earlier tail) to `out`.
  void Update(const uint8_t* data, size_t size, std::string& out);
  // Appends the last (padded) block and the length trailer.
  void Finish(std::string& out);
  uint64_t length() const { return length_; }

 private:
  DesKeySchedule schedule_;
  uint8_t tail_[8] = {};
  size_t tail_size_ = 0;
  uint64_t length_ = 0;
};

// Appends the container of `source` to `destination`. Empty source or key: nothing happens.
void EncryptStream(const std::string& source, std::string& destination, std::string_view key_text);

// The plain length of a container of `container_size` bytes from its 4-byte trailer; false with
// a reason when the size is not 8 x N + 4 or the trailer does not fit the blocks.
[[nodiscard]] bool ContainerPlainLength(uint64_t container_size, const uint8_t* trailer,
                                        uint64_t& length, std::string& error);

// The inverse, for the report reader: the plain bytes, or false with a reason when the container
// is damaged (size not 8 x N + 4, trailer longer than the blocks or shorter than N - 1 blocks).
[[nodiscard]] bool DecryptContainer(std::string_view container, std::string_view key_text,
                                    std::string& plain, std::string& error);

}  // namespace kovra
