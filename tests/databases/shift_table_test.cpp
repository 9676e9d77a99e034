#include "databases/shift_table.hpp"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <tuple>

namespace glycomb {
namespace {

realdata1e Single(std::uint8_t c1_effect, std::int32_t c1_shift) {
  realdata1e set;
  set.C1Effect = c1_effect;
  set.Shifts[0] = c1_shift;
  return set;
}

realdata2e Pair(std::uint16_t c1_effects, std::int32_t c1_shift) {
  realdata2e set;
  set.C1Effects = c1_effects;
  set.Shifts[0] = c1_shift;
  return set;
}

TEST(ShiftEntryTest, EmptyGridsFindNothing) {
  tShiftEntry entry;
  entry.CreateShiftGrids(6);
  entry.CreateEffectGrids(6);
  EXPECT_EQ(entry.Terminal(), nullptr);
  for (unsigned cell = 0; cell < kDescriptorCells; ++cell) {
    for (unsigned slot = 0; slot < MonoSlotCount(6); ++slot) EXPECT_EQ(entry.Mono(slot, cell), nullptr);
    for (unsigned position = 2; position <= 6; ++position) {
      EXPECT_EQ(entry.Effect(position, cell), nullptr);
    }
    EXPECT_EQ(entry.Di(9, cell, 575 - cell), nullptr);
  }
}

TEST(ShiftEntryTest, LookUpsOutsideTheGridsFailTheRangeCheck) {
  tShiftEntry entry;
  entry.CreateShiftGrids(6);
  EXPECT_THROW(entry.Effect(2, 0), ECheckFailed);  // effect grids not created yet
  entry.CreateEffectGrids(6);
  EXPECT_THROW(entry.Mono(5, 0), ECheckFailed);
  EXPECT_THROW(entry.Mono(0, kDescriptorCells), ECheckFailed);
  EXPECT_THROW(entry.Di(10, 0, 0), ECheckFailed);
  EXPECT_THROW(entry.Di(0, 0, kDescriptorCells), ECheckFailed);
  EXPECT_THROW(entry.Effect(1, 0), ECheckFailed);
  EXPECT_THROW(entry.Effect(7, 0), ECheckFailed);
  EXPECT_THROW(entry.PutMono(5, 0, realdata1e{}), ECheckFailed);
  EXPECT_THROW(entry.PutDi(0, kDescriptorCells, 0, realdata2e{}), ECheckFailed);
  EXPECT_THROW(entry.PutEffect(7, 0, realdata1e{}), ECheckFailed);
}

TEST(ShiftEntryTest, StoredSetsAreFoundInTheirOwnCellOnlyAndReplaced) {
  tShiftEntry entry;
  entry.CreateShiftGrids(6);
  entry.CreateEffectGrids(6);
  entry.PutTerminal(Single(0, 930));
  entry.PutMono(1, 100, Single(5, 1010));
  entry.PutEffect(3, 100, Single(6, 70));
  entry.PutDi(4, 100, 200, Pair(0x0201, 1020));

  ASSERT_NE(entry.Terminal(), nullptr);
  EXPECT_EQ(entry.Terminal()->Shifts[0], 930);
  ASSERT_NE(entry.Mono(1, 100), nullptr);
  EXPECT_EQ(entry.Mono(1, 100)->C1Effect, 5);
  EXPECT_EQ(entry.Mono(0, 100), nullptr);
  EXPECT_EQ(entry.Mono(1, 101), nullptr);
  ASSERT_NE(entry.Effect(3, 100), nullptr);
  EXPECT_EQ(entry.Effect(3, 100)->Shifts[0], 70);
  EXPECT_EQ(entry.Effect(2, 100), nullptr);
  ASSERT_NE(entry.Di(4, 100, 200), nullptr);
  EXPECT_EQ(entry.Di(4, 100, 200)->C1Effects, 0x0201);
  EXPECT_EQ(entry.Di(4, 200, 100), nullptr);
  EXPECT_EQ(entry.Di(3, 100, 200), nullptr);

  entry.PutTerminal(Single(0, 931));
  entry.PutMono(1, 100, Single(7, 1011));
  entry.PutEffect(3, 100, Single(8, 71));
  entry.PutDi(4, 100, 200, Pair(0x0403, 1021));
  EXPECT_EQ(entry.Terminal()->Shifts[0], 931);
  EXPECT_EQ(entry.Mono(1, 100)->Shifts[0], 1011);
  EXPECT_EQ(entry.Effect(3, 100)->C1Effect, 8);
  EXPECT_EQ(entry.Di(4, 100, 200)->Shifts[0], 1021);
}

TEST(ShiftEntryTest, ManyPairSetsAreAllFoundAndNoOthers) {
  tShiftEntry entry;
  entry.CreateShiftGrids(9);
  std::mt19937 random(12345);
  std::uniform_int_distribution<unsigned> slot_of(0, PairSlotCount(9) - 1);
  std::uniform_int_distribution<unsigned> cell_of(0, kDescriptorCells - 1);
  std::map<std::tuple<unsigned, unsigned, unsigned>, std::int32_t> stored;
  for (std::int32_t i = 0; i < 20000; ++i) {
    const auto key = std::make_tuple(slot_of(random), cell_of(random), cell_of(random));
    stored[key] = i;
    entry.PutDi(std::get<0>(key), std::get<1>(key), std::get<2>(key), Pair(0, i));
  }
  for (const auto& [key, value] : stored) {
    const realdata2e* set = entry.Di(std::get<0>(key), std::get<1>(key), std::get<2>(key));
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->Shifts[0], value);
  }
  unsigned absent = 0;
  for (int i = 0; i < 20000; ++i) {
    const auto key = std::make_tuple(slot_of(random), cell_of(random), cell_of(random));
    if (stored.count(key) != 0) continue;
    ++absent;
    EXPECT_EQ(entry.Di(std::get<0>(key), std::get<1>(key), std::get<2>(key)), nullptr);
  }
  EXPECT_GT(absent, 19000u);
  // The sparse storage holds the sets and a hash of at most four cells per set, nothing per
  // empty cell of the 28 x 331,776 pair grid.
  EXPECT_LT(entry.AllocatedBytes(), 4u * 1024 * 1024);
}

TEST(ShiftEntryTest, NewGridsAndReleaseDropEverything) {
  tShiftEntry entry;
  entry.CreateShiftGrids(6);
  entry.CreateEffectGrids(6);
  entry.PutTerminal(Single(0, 930));
  entry.PutMono(0, 1, Single(1, 1));
  entry.PutDi(0, 1, 2, Pair(1, 1));
  entry.PutEffect(2, 1, Single(1, 1));
  entry.CreateShiftGrids(6);
  EXPECT_EQ(entry.Terminal(), nullptr);
  EXPECT_EQ(entry.Mono(0, 1), nullptr);
  EXPECT_EQ(entry.Di(0, 1, 2), nullptr);
  EXPECT_THROW(entry.Effect(2, 1), ECheckFailed);

  entry.PutTerminal(Single(0, 930));
  entry.Release();
  EXPECT_EQ(entry.Terminal(), nullptr);
  EXPECT_EQ(entry.AllocatedBytes(), 0u);
  EXPECT_THROW(entry.Mono(0, 1), ECheckFailed);
}

TEST(ShiftTableTest, OneEntryPerCompositionEntryAndForm) {
  tShiftTable table;
  table.Create(3);
  EXPECT_EQ(table.ResidueCount(), 3u);
  table.Entry(3, 1).NameIndex = 7;
  EXPECT_EQ(std::as_const(table).Entry(3, 1).NameIndex, 7);
  EXPECT_EQ(table.Entry(3, 0).NameIndex, 0);
  EXPECT_THROW(table.Entry(4, 0), ECheckFailed);
  EXPECT_THROW(table.Entry(1, 2), ECheckFailed);
  table.Entry(1, 0).CreateShiftGrids(6);
  table.Release();
  EXPECT_EQ(table.ResidueCount(), 0u);
  EXPECT_EQ(table.AllocatedBytes(), 0u);
}

}  // namespace
}  // namespace glycomb
