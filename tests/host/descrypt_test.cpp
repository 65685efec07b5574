#include "crypto/descrypt.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

DesBlock Hex(const char* hex) {
  DesBlock b{};
  for (int i = 0; i < 8; ++i)
    b[i] = static_cast<uint8_t>(std::stoul(std::string(hex + 2 * i, 2), nullptr, 16));
  return b;
}

TEST(Des, KnownAnswers) {
  struct Vector {
    const char *key, *plain, *cipher;
  } const vectors[] = {
      // The worked example of the standard's literature.
      {"133457799BBCDFF1", "0123456789ABCDEF", "85E813540F0AB405"},
      // Variable plaintext under the parity-only key.
      {"0101010101010101", "8000000000000000", "95F8A5E5DD31D900"},
      {"0101010101010101", "4000000000000000", "DD7F121CA5015619"},
      {"0101010101010101", "2000000000000000", "2E8653104F3834EA"},
      {"0101010101010101", "0000000000000001", "166B40B44ABA4BD6"},
      // Variable key, zero plaintext.
      {"8001010101010101", "0000000000000000", "95A8D72813DAA94D"},
      {"4001010101010101", "0000000000000000", "0EEC1487DD8C26D5"},
      {"0101010101010102", "0000000000000000", "869EFD7F9F265A09"},
      // Permutation set.
      {"1046913489980131", "0000000000000000", "88D55E54F54C97B4"},
      // S-box set.
      {"7CA110454A1A6E57", "01A1D6D039776742", "690F5B0D9A26939B"},
      {"0131D9619DC1376E", "5CD54CA83DEF57DA", "7A389D10354BD271"},
  };
  for (const Vector& v : vectors) {
    const DesKeySchedule schedule(Hex(v.key));
    EXPECT_EQ(schedule.Encrypt(Hex(v.plain)), Hex(v.cipher)) << v.key << " " << v.plain;
    EXPECT_EQ(schedule.Decrypt(Hex(v.cipher)), Hex(v.plain)) << v.key << " " << v.cipher;
  }
}

TEST(Des, ValidationTables) {
  struct Vector {
    const char *key, *plain, *cipher;
  } const vectors[] = {
#include "des_vectors.inc"
  };
  ASSERT_EQ(std::size(vectors), 64u + 56u + 32u + 19u);
  for (const Vector& v : vectors) {
    const DesKeySchedule schedule(Hex(v.key));
    EXPECT_EQ(schedule.Encrypt(Hex(v.plain)), Hex(v.cipher)) << v.key << " " << v.plain;
    EXPECT_EQ(schedule.Decrypt(Hex(v.cipher)), Hex(v.plain)) << v.key << " " << v.cipher;
  }
}

TEST(Des, ParityBitsAreIgnored) {
  const DesBlock plain = Hex("0123456789ABCDEF");
  EXPECT_EQ(DesKeySchedule(Hex("0000000000000000")).Encrypt(plain),
            DesKeySchedule(Hex("0101010101010101")).Encrypt(plain));
}

TEST(FoldKey, PositionsShiftByOneAndWrap) {
  EXPECT_EQ(FoldKey("ABCDEFGH"), (DesBlock{'H', 'A', 'B', 'C', 'D', 'E', 'F', 'G'}));
  EXPECT_EQ(FoldKey("ab"), (DesBlock{0, 'a', 'b', 0, 0, 0, 0, 0}));
  // "qzmvtrylbsed": the eighth byte lands in position 0, bytes 9 to 12 add onto positions 1 to 4.
  EXPECT_EQ(
      FoldKey(kReportKey),
      (DesBlock{'l', static_cast<uint8_t>('q' + 'b'), static_cast<uint8_t>('z' + 's'),
                static_cast<uint8_t>('m' + 'e'), static_cast<uint8_t>('v' + 'd'), 't', 'r', 'y'}));
  // Sums wrap modulo 256.
  EXPECT_EQ(FoldKey(std::string("\xFF\0\0\0\0\0\0\0\x02", 9))[1], 1);
}

TEST(Container, SizesAndTrailer) {
  std::string out;
  EncryptStream("", out, kReportKey);
  EXPECT_EQ(out, "");  // an empty source writes nothing at all
  DesContainerEncoder empty(kReportKey);
  empty.Finish(out);
  EXPECT_EQ(out, std::string(4, '\0'));

  for (size_t n : {8u, 9u, 16u, 17u}) {
    std::string c;
    EncryptStream(std::string(n, 'x'), c, kReportKey);
    EXPECT_EQ(c.size(), (n + 7) / 8 * 8 + 4) << n;
    EXPECT_EQ(static_cast<uint8_t>(c[c.size() - 4]), n);
    std::string plain, error;
    ASSERT_TRUE(DecryptContainer(c, kReportKey, plain, error)) << error;
    EXPECT_EQ(plain, std::string(n, 'x'));
  }
}

TEST(Container, EqualBlocksGiveEqualCipherBlocksAndMatchEncryptBlock) {
  std::string c;
  EncryptStream("ABCDEFGHABCDEFGH", c, kReportKey);
  EXPECT_EQ(c.substr(0, 8), c.substr(8, 8));
  const DesBlock one = EncryptBlock(Hex("4142434445464748"), kReportKey);
  EXPECT_EQ(c.substr(0, 8), std::string(one.begin(), one.end()));
}

TEST(Container, StreamingInPiecesGivesTheSameBytes) {
  std::string data;
  for (int i = 0; i < 1000; ++i)
    data += static_cast<char>(i * 7);
  std::string whole;
  EncryptStream(data, whole, kReportKey);
  for (size_t piece : {1u, 3u, 8u, 13u, 999u}) {
    DesContainerEncoder enc(kReportKey);
    std::string out;
    for (size_t at = 0; at < data.size(); at += piece) {
      const size_t n = std::min(piece, data.size() - at);
      enc.Update(reinterpret_cast<const uint8_t*>(data.data() + at), n, out);
    }
    enc.Finish(out);
    EXPECT_EQ(out, whole) << piece;
  }
}

TEST(Container, DamagedContainersAreRejected) {
  std::string c;
  EncryptStream("hello world", c, kReportKey);
  std::string plain, error;
  EXPECT_FALSE(DecryptContainer(c.substr(0, c.size() - 1), kReportKey, plain, error));
  EXPECT_NE(error.find("8 x N + 4"), std::string::npos);
  std::string longer = c;
  longer[longer.size() - 4] = 17;  // 17 bytes claimed, 16 enciphered
  EXPECT_FALSE(DecryptContainer(longer, kReportKey, plain, error));
  EXPECT_NE(error.find("longer"), std::string::npos);
  std::string shorter = c;
  shorter[shorter.size() - 4] = 3;
  EXPECT_FALSE(DecryptContainer(shorter, kReportKey, plain, error));
  EXPECT_FALSE(DecryptContainer("", kReportKey, plain, error));
}

}  // namespace
}  // namespace kovra
