#include "collectors/product/product_names.h"

#include <gtest/gtest.h>

namespace kovra {
namespace {

TEST(ProductNames, PathValueAndServiceNameFollowTheDigits) {
  EXPECT_EQ(TopEditionPathValue(GenerationDigits{}), "ztnpv8uninstallpath");
  EXPECT_EQ(ProductServiceName(GenerationDigits{"7", "6"}), "ZentrixTuneService7");
}

}  // namespace
}  // namespace kovra
