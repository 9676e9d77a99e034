#include "databases/descriptor.hpp"

#include <gtest/gtest.h>

#include "console/console.hpp"
#include "support/fixtures.hpp"

namespace glycomb {
namespace {

TEST(SubstitutionCodeTest, PairsAreNumberedByHigherThenLowerPosition) {
  unsigned expected = 0;
  for (std::uint8_t second = 3; second <= 9; ++second) {
    for (std::uint8_t first = 2; first < second; ++first) {
      EXPECT_EQ(SubstitutionCode(first, second), expected++) << int{first} << "," << int{second};
    }
  }
  EXPECT_EQ(expected, PairSlotCount(9));
  const struct {
    std::uint8_t first, second, code;
  } cases[] = {{2, 0, 0},    {9, 0, 7},  {0, 0, 255}, {10, 0, 255},
               {2, 10, 255}, {9, 10, 7}, {9, 255, 7}};
  for (const auto& c : cases) EXPECT_EQ(SubstitutionCode(c.first, c.second), c.code);
}

TEST(SubstitutionCodeTest, InconsistentPatternsAreInternalErrors) {
  const struct {
    std::uint8_t first, second;
    const char* message;
  } cases[] = {
      {1, 0, "Internal error SC1: Substitution position cannot be 1"},
      {3, 1, "Internal error SC1: Substitution position cannot be 1"},
      {4, 4, "Internal error SC2: Two substitution positions should not be the same"},
      {5, 3, "Internal error SC3: The lower substitution position should go prior to the higher"},
      {0, 4, "Internal error SC4: Monosubstitution should be indicated in the first parameter"},
  };
  for (const auto& c : cases) {
    const auto code = [&] { EXPECT_THROW(SubstitutionCode(c.first, c.second), EErrorStop); };
    EXPECT_EQ(testing::Captured(code), testing::Fatal(c.message));
  }
}

}  // namespace
}  // namespace glycomb
