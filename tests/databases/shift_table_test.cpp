#include "databases/shift_table.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

namespace glycomb {
namespace {

realdata2e Pair(std::int32_t c1_shift) { return realdata2e{.C1Effects = 1, .Shifts = {c1_shift}}; }

TEST(ShiftEntryTest, ManyPairSetsAreAllFoundAndNoOthers) {
  tShiftEntry entry;
  entry.CreateShiftGrids(9);
  std::mt19937 random(12345);
  std::uniform_int_distribution<unsigned> slot_of(0, PairSlotCount(9) - 1);
  std::uniform_int_distribution<unsigned> cell_of(0, kDescriptorCells - 1);
  std::map<std::tuple<unsigned, unsigned, unsigned>, std::int32_t> stored;
  for (std::int32_t i = 0; i < 40000; ++i) {
    const auto key = std::make_tuple(slot_of(random), cell_of(random), cell_of(random));
    if (i % 2 == 0) {
      stored[key] = i;
      entry.PutDi(std::get<0>(key), std::get<1>(key), std::get<2>(key), Pair(i));
    } else if (stored.count(key) == 0) {
      EXPECT_EQ(entry.Di(std::get<0>(key), std::get<1>(key), std::get<2>(key)), nullptr);
    }
  }
  for (const auto& [key, value] : stored) {
    const realdata2e* set = entry.Di(std::get<0>(key), std::get<1>(key), std::get<2>(key));
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->Shifts[0], value);
  }
  // Nothing is held per empty cell of the 28 x 331,776 pair grid.
  EXPECT_LT(entry.AllocatedBytes(), 2u * 1024 * 1024);
}

}  // namespace
}  // namespace glycomb
