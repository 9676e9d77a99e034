#include "databases/descriptor.hpp"

#include <gtest/gtest.h>

#include <string>

#include "console/console.hpp"
#include "databases/database_files.hpp"

namespace glycomb {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

TEST(DescriptorCellTest, NumbersTheCellsInIndexOrderWithTypeOutermost) {
  unsigned expected = 0;
  for (unsigned type = 0; type < kTypeCount; ++type)
    for (unsigned anomeric = 0; anomeric < kAnomericCount; ++anomeric)
      for (unsigned absolute = 0; absolute < kAbsoluteCount; ++absolute)
        for (unsigned proton = 0; proton < kC2ProtonCount; ++proton)
          for (unsigned group = 0; group < kC2GroupCount; ++group)
            for (unsigned c1 = 0; c1 < kC1PeculiarityCount; ++c1) {
              ASSERT_EQ(DescriptorCell(type, anomeric, absolute, proton, group, c1), expected);
              ++expected;
            }
  EXPECT_EQ(expected, kDescriptorCells);
  static_assert(DescriptorCell(3, 1, 1, 2, 2, 3) == 575);
}

TEST(SubstitutionCodeTest, NumbersPairsByHigherThenLowerPosition) {
  unsigned expected = 0;
  for (std::uint8_t second = 3; second <= 9; ++second) {
    for (std::uint8_t first = 2; first < second; ++first) {
      EXPECT_EQ(SubstitutionCode(first, second), expected) << int{first} << "," << int{second};
      ++expected;
    }
  }
  EXPECT_EQ(expected, PairSlotCount(9));
}

TEST(SubstitutionCodeTest, SinglePositionsAndPositionsOutsideTheResidue) {
  const struct {
    std::uint8_t first, second, code;
  } cases[] = {
      {2, 0, 0},    {5, 0, 3},     {9, 0, 7},   {3, 5, 4},    {8, 9, 27},
      {0, 0, 255},  {10, 0, 255},  {2, 10, 255}, {8, 200, 255},
      {9, 10, 7},   {9, 255, 7},  // first 9 gives 7 whatever the second
  };
  for (const auto& c : cases) {
    EXPECT_EQ(SubstitutionCode(c.first, c.second), c.code) << int{c.first} << "," << int{c.second};
  }
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
    CaptureStdout();
    EXPECT_THROW(SubstitutionCode(c.first, c.second), EErrorStop);
    EXPECT_EQ(GetCapturedStdout(), testing::Fatal(c.message));
  }
}

TEST(SlotCountTest, OneSlotPerPositionAndPair) {
  const unsigned pairs[] = {0, 0, 0, 1, 3, 6, 10, 15, 21, 28};
  for (unsigned c = 2; c <= 9; ++c) {
    EXPECT_EQ(MonoSlotCount(c), c - 1);
    EXPECT_EQ(PairSlotCount(c), pairs[c]) << c;
  }
}

}  // namespace
}  // namespace glycomb
