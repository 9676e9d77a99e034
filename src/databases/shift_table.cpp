#include "databases/shift_table.hpp"

namespace glycomb {
namespace {

// Index of the next element of a pool, checked against the 32-bit indices the grids hold.
template <class Pool>
std::int32_t NextIndex(const Pool& pool) {
  return Narrow<std::int32_t>(pool.size());
}

// Puts `set` into `pool` at the index held in `cell`, or appends it and records its index there.
template <class Pool, class Set>
void PutInto(Pool& pool, std::int32_t& cell, const Set& set) {
  if (cell >= 0) {
    pool[static_cast<std::size_t>(cell)] = set;
    return;
  }
  const std::int32_t index = NextIndex(pool);
  pool.push_back(set);
  cell = index;
}

template <class T>
void FreeVector(std::vector<T>& v) {
  std::vector<T>().swap(v);
}

}  // namespace

void tShiftEntry::CreateShiftGrids(unsigned carbon_count) {
  single_sets_.clear();
  pair_sets_.clear();
  effect_cells_.clear();
  effect_positions_ = 0;
  terminal_ = -1;
  mono_slots_ = MonoSlotCount(carbon_count);
  pair_slots_ = PairSlotCount(carbon_count);
  mono_cells_.assign(std::size_t{mono_slots_} * kDescriptorCells, -1);
  pair_cells_.clear();
  pair_shift_ = 32;
  pair_count_ = 0;
}

void tShiftEntry::CreateEffectGrids(unsigned carbon_count) {
  effect_positions_ = MonoSlotCount(carbon_count);
  effect_cells_.assign(std::size_t{effect_positions_} * kDescriptorCells, -1);
}

void tShiftEntry::PutTerminal(const realdata1e& set) { PutInto(single_sets_, terminal_, set); }

void tShiftEntry::PutMono(unsigned slot, unsigned cell, const realdata1e& set) {
  PutInto(single_sets_, mono_cells_[GridIndex(slot, mono_slots_, cell)], set);
}

void tShiftEntry::PutEffect(unsigned position, unsigned cell, const realdata1e& set) {
  if (position < 2) CheckFailed("range check error: effect position below 2");
  PutInto(single_sets_, effect_cells_[GridIndex(position - 2, effect_positions_, cell)], set);
}

void tShiftEntry::PutDi(unsigned slot, unsigned first_cell, unsigned second_cell,
                        const realdata2e& set) {
  GridIndex(slot, pair_slots_, first_cell);
  GridIndex(slot, pair_slots_, second_cell);
  if ((pair_count_ + 1) * 2 > pair_cells_.size()) GrowPairCells();
  const std::uint32_t key = PairKey(slot, first_cell, second_cell);
  tPairCell& cell = pair_cells_[PairProbe(key)];
  if (cell.Key == kNoPairKey) {
    cell.Set = -1;
    PutInto(pair_sets_, cell.Set, set);
    cell.Key = key;
    ++pair_count_;
  } else {
    PutInto(pair_sets_, cell.Set, set);
  }
}

void tShiftEntry::GrowPairCells() {
  std::vector<tPairCell> old;
  old.swap(pair_cells_);
  const unsigned shift = old.empty() ? 28 : pair_shift_ - 1;  // 16 cells to start with
  if (shift < 8) CheckFailed("range check error: too many two-substituent data sets");
  pair_cells_.assign(std::size_t{1} << (32 - shift), tPairCell{kNoPairKey, -1});
  pair_shift_ = shift;
  for (const tPairCell& cell : old) {
    if (cell.Key != kNoPairKey) pair_cells_[PairProbe(cell.Key)] = cell;
  }
}

void tShiftEntry::Release() {
  FreeVector(single_sets_);
  FreeVector(pair_sets_);
  FreeVector(mono_cells_);
  FreeVector(effect_cells_);
  FreeVector(pair_cells_);
  terminal_ = -1;
  mono_slots_ = pair_slots_ = effect_positions_ = 0;
  pair_shift_ = 32;
  pair_count_ = 0;
}

std::size_t tShiftEntry::AllocatedBytes() const {
  return single_sets_.capacity() * sizeof(realdata1e) + pair_sets_.capacity() * sizeof(realdata2e) +
         (mono_cells_.capacity() + effect_cells_.capacity()) * sizeof(std::int32_t) +
         pair_cells_.capacity() * sizeof(tPairCell);
}

void tShiftTable::Create(unsigned residue_count) {
  Release();
  entries_.resize(std::size_t{residue_count} + 1);
}

unsigned tShiftTable::ResidueCount() const {
  return entries_.empty() ? 0 : static_cast<unsigned>(entries_.size() - 1);
}

void tShiftTable::Release() { FreeVector(entries_); }

std::size_t tShiftTable::AllocatedBytes() const {
  std::size_t total = entries_.capacity() * sizeof(entries_[0]);
  for (const auto& forms : entries_) {
    for (const tShiftEntry& entry : forms) total += entry.AllocatedBytes();
  }
  return total;
}

}  // namespace glycomb
