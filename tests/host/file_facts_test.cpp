#include "collectors/common/file_facts.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(FileFacts, FixedVersionIsFourDottedNumbers) {
  EXPECT_EQ(FixedVersionText(0x00060001, 0x1DB1446A), "6.1.7601.17514");
}

}  // namespace
}  // namespace kovra
