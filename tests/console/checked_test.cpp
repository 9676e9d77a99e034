#include "console/checked.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace glycomb {
namespace {

TEST(CheckedTest, ArithmeticFailsInsteadOfWrapping) {
  EXPECT_EQ((CheckedAdd<std::uint16_t>(65000, 535)), 65535);
  EXPECT_THROW((CheckedAdd<std::uint16_t>(65000, 536)), ECheckFailed);
  EXPECT_EQ((CheckedSub<std::int32_t>(640, 650)), -10);
  EXPECT_THROW((CheckedSub<std::uint8_t>(3, 4)), ECheckFailed);
  EXPECT_THROW((CheckedMul<std::int32_t>(479001600, 13)), ECheckFailed);
  EXPECT_EQ(Narrow<std::uint8_t>(255), 255);
  EXPECT_THROW(Narrow<std::uint8_t>(256), ECheckFailed);
  EXPECT_THROW(Narrow<std::int8_t>(-129), ECheckFailed);
}

TEST(CheckedTest, IndexOutsideATableFails) {
  std::vector<int> table = {1, 2, 3};
  EXPECT_EQ(At(table, 2), 3);
  At(table, 0) = 7;
  EXPECT_EQ(table[0], 7);
  EXPECT_THROW(At(table, 3), ECheckFailed);
  const int fixed[2] = {4, 5};
  EXPECT_THROW(At(fixed, 2), ECheckFailed);
}

}  // namespace
}  // namespace glycomb
