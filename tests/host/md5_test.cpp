#include "crypto/md5.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace kovra {
namespace {

TEST(Md5, Rfc1321Suite) {
  EXPECT_EQ(Md5OfBytes(""), kEmptyMd5);
  EXPECT_EQ(Md5OfBytes("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(Md5OfBytes("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(Md5OfBytes("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(Md5OfBytes("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(Md5OfBytes("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(Md5OfBytes(
                "12345678901234567890123456789012345678901234567890123456789012345678901234567890"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

TEST(Md5, BlockMultiplesAndPiecewiseUpdates) {
  const std::string sixty_four(64, 'a');
  EXPECT_EQ(Md5OfBytes(sixty_four), "014842d480b571495a4a0363793f7367");
  const std::string data(1000, 'q');
  Md5 md5;
  for (size_t at = 0; at < data.size(); at += 37)
    md5.Update(data.data() + at, std::min<size_t>(37, data.size() - at));
  EXPECT_EQ(Md5Hex(md5.Final()), Md5OfBytes(data));
}

}  // namespace
}  // namespace kovra
