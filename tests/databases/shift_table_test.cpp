#include "databases/shift_table.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

namespace glycomb {
namespace {

realdata1e Single(std::int32_t c1_shift) { return realdata1e{.C1Effect = 1, .Shifts = {c1_shift}}; }
realdata2e Pair(std::int32_t c1_shift) { return realdata2e{.C1Effects = 1, .Shifts = {c1_shift}}; }

TEST(ShiftEntryTest, SetsAreFoundInTheirOwnCellOnlyAndReplaced) {
  tShiftEntry entry;
  entry.CreateShiftGrids(6);
  entry.CreateEffectGrids(6);
  EXPECT_EQ(entry.Terminal(), nullptr);
  EXPECT_EQ(entry.Di(9, 575, 575), nullptr);
  for (std::int32_t value : {10, 20}) {
    entry.PutTerminal(Single(value));
    entry.PutMono(1, 100, Single(value + 1));
    entry.PutEffect(3, 100, Single(value + 2));
    entry.PutDi(4, 100, 200, Pair(value + 3));
    EXPECT_EQ(entry.Terminal()->Shifts[0], value);
    EXPECT_EQ(entry.Mono(1, 100)->Shifts[0], value + 1);
    EXPECT_EQ(entry.Effect(3, 100)->Shifts[0], value + 2);
    EXPECT_EQ(entry.Di(4, 100, 200)->Shifts[0], value + 3);
  }
  EXPECT_EQ(entry.Mono(0, 100), nullptr);
  EXPECT_EQ(entry.Mono(1, 101), nullptr);
  EXPECT_EQ(entry.Effect(2, 100), nullptr);
  EXPECT_EQ(entry.Di(4, 200, 100), nullptr);
  EXPECT_EQ(entry.Di(3, 100, 200), nullptr);

  EXPECT_THROW(entry.Mono(5, 0), ECheckFailed);
  EXPECT_THROW(entry.Mono(0, kDescriptorCells), ECheckFailed);
  EXPECT_THROW(entry.Di(10, 0, 0), ECheckFailed);
  EXPECT_THROW(entry.Di(0, 0, kDescriptorCells), ECheckFailed);
  EXPECT_THROW(entry.Effect(1, 0), ECheckFailed);
  EXPECT_THROW(entry.PutEffect(7, 0, realdata1e{}), ECheckFailed);

  entry.CreateShiftGrids(6);
  EXPECT_EQ(entry.Terminal(), nullptr);
  EXPECT_EQ(entry.Di(4, 100, 200), nullptr);
  EXPECT_THROW(entry.Effect(3, 100), ECheckFailed);  // effect grids not created
  entry.Release();
  EXPECT_EQ(entry.AllocatedBytes(), 0u);
}

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

TEST(ShiftTableTest, OneEntryPerCompositionEntryAndForm) {
  tShiftTable table;
  table.Create(3);
  EXPECT_EQ(table.ResidueCount(), 3u);
  table.Entry(3, 1).NameIndex = 7;
  EXPECT_EQ(table.Entry(3, 0).NameIndex, 0);
  EXPECT_THROW(table.Entry(4, 0), ECheckFailed);
  EXPECT_THROW(table.Entry(1, 2), ECheckFailed);
  table.Release();
  EXPECT_EQ(table.ResidueCount(), 0u);
}

}  // namespace
}  // namespace glycomb
