// The shift table: for every composition entry and anomeric form, the reference shift sets of the
// residue (terminal, one substituent, two substituents) and its glycosylation effects, reached by
// substitution slot or position and substituent descriptor cell. The spectrum calculation reads it
// millions of times per search, so every look-up is constant time and allocates nothing.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "console/checked.hpp"
#include "databases/descriptor.hpp"

namespace glycomb {

// The largest number of carbons of one residue.
inline constexpr int kMaxCarbons = 9;

// A shift set of the databases: the effect on C1 of the substituent it describes and one value per
// carbon of the residue, C1 first (only the residue's CarbonCount values are meaningful).
struct realdata1e {
  std::uint8_t C1Effect = 0;
  std::array<std::int32_t, kMaxCarbons> Shifts{};
};

// A shift set of a residue with two substituents: C1 effect on the first substituent in the low
// byte, on the second in the high byte.
struct realdata2e {
  std::uint16_t C1Effects = 0;
  std::array<std::int32_t, kMaxCarbons> Shifts{};
};

// One residue form of the composition. The data sets live in pools owned by the entry; the grids
// hold indices into them (-1 = empty). One-substituent and effect grids are dense (576 cells per
// slot or position); the two-substituent sets, almost all of whose 331,776 cells per slot would be
// empty, are kept in an open-addressing hash keyed by (slot, first cell, second cell).
class tShiftEntry {
 public:
  std::uint8_t NameIndex = 0;         // residue type; 0 = phosphate, the entry stays empty
  std::int8_t PhosphateC1Effect = 0;  // corrections of C1 and C2 when C1 is bound to a phosphate
  std::int8_t PhosphateC2Effect = 0;

  // Look-ups. Each returns the data set or nullptr when there is none. A slot, position or cell
  // outside the grids of the entry fails the range check. Pointers stay valid until the entry is
  // changed or released.
  const realdata1e* Terminal() const;
  const realdata1e* Mono(unsigned slot, unsigned cell) const;
  const realdata2e* Di(unsigned slot, unsigned first_cell, unsigned second_cell) const;
  const realdata1e* Effect(unsigned position, unsigned cell) const;

  // Gives the entry empty shift grids (terminal, c - 1 single slots, (c - 1)(c - 2)/2 pair slots)
  // or empty effect grids (positions 2..c) for a residue of `carbon_count` carbons, dropping what
  // they held. May raise std::bad_alloc.
  void CreateShiftGrids(unsigned carbon_count);
  void CreateEffectGrids(unsigned carbon_count);

  // Stores a data set, replacing the one in the same place. May raise std::bad_alloc.
  void PutTerminal(const realdata1e& set);
  void PutMono(unsigned slot, unsigned cell, const realdata1e& set);
  void PutDi(unsigned slot, unsigned first_cell, unsigned second_cell, const realdata2e& set);
  void PutEffect(unsigned position, unsigned cell, const realdata1e& set);

  // Frees all grids and data sets; the entry is empty afterwards.
  void Release();

  // Heap bytes held by the entry.
  std::size_t AllocatedBytes() const;

 private:
  struct tPairCell {
    std::uint32_t Key;  // PairKey of the cell, kNoPairKey when unused
    std::int32_t Set;   // index into pair_sets_
  };
  static constexpr std::uint32_t kNoPairKey = 0xFFFFFFFFu;

  static std::uint32_t PairKey(unsigned slot, unsigned first_cell, unsigned second_cell) {
    return (slot * kDescriptorCells + first_cell) * kDescriptorCells + second_cell;
  }
  // Position in pair_cells_ of `key`, or of the unused cell where it would go. Multiplicative
  // hashing: the high bits of the product spread keys that differ only in their high bits.
  std::size_t PairProbe(std::uint32_t key) const {
    const std::size_t mask = pair_cells_.size() - 1;
    std::size_t at = static_cast<std::uint32_t>(key * 0x9E3779B1u) >> pair_shift_;
    while (pair_cells_[at].Key != key && pair_cells_[at].Key != kNoPairKey) at = (at + 1) & mask;
    return at;
  }
  void GrowPairCells();
  std::size_t GridIndex(unsigned grid, unsigned grid_count, unsigned cell) const {
    if (grid >= grid_count || cell >= kDescriptorCells) {
      CheckFailed("range check error: shift table index outside its grids");
    }
    return std::size_t{grid} * kDescriptorCells + cell;
  }

  std::vector<realdata1e> single_sets_;  // terminal, one-substituent and effect sets
  std::vector<realdata2e> pair_sets_;    // two-substituent sets
  std::int32_t terminal_ = -1;
  unsigned mono_slots_ = 0;
  unsigned pair_slots_ = 0;
  unsigned effect_positions_ = 0;           // grids for positions 2 .. effect_positions_ + 1
  std::vector<std::int32_t> mono_cells_;    // mono_slots_ x 576 indices into single_sets_
  std::vector<std::int32_t> effect_cells_;  // effect_positions_ x 576 indices into single_sets_
  std::vector<tPairCell> pair_cells_;  // power-of-two size 2^(32 - pair_shift_), at most half used
  unsigned pair_shift_ = 32;
  std::size_t pair_count_ = 0;
};

// The table of a run: element 0 unused, elements 1..n one per composition entry, each with form 0
// (alpha, or the only form of a residue without anomeric forms) and form 1 (beta).
class tShiftTable {
 public:
  // Makes n + 1 empty elements. May raise std::bad_alloc.
  void Create(unsigned residue_count);
  // n, the number of composition entries.
  unsigned ResidueCount() const;
  // The entry of composition entry `residue` in `form`; indices are range checked.
  const tShiftEntry& Entry(unsigned residue, unsigned form) const {
    return At(At(entries_, residue), form);
  }
  tShiftEntry& Entry(unsigned residue, unsigned form) { return At(At(entries_, residue), form); }
  // Frees everything the table holds.
  void Release();
  std::size_t AllocatedBytes() const;

 private:
  std::vector<std::array<tShiftEntry, 2>> entries_;
};

inline const realdata1e* tShiftEntry::Terminal() const {
  return terminal_ < 0 ? nullptr : &single_sets_[static_cast<std::size_t>(terminal_)];
}

inline const realdata1e* tShiftEntry::Mono(unsigned slot, unsigned cell) const {
  const std::int32_t set = mono_cells_[GridIndex(slot, mono_slots_, cell)];
  return set < 0 ? nullptr : &single_sets_[static_cast<std::size_t>(set)];
}

inline const realdata1e* tShiftEntry::Effect(unsigned position, unsigned cell) const {
  if (position < 2) CheckFailed("range check error: effect position below 2");
  const std::int32_t set = effect_cells_[GridIndex(position - 2, effect_positions_, cell)];
  return set < 0 ? nullptr : &single_sets_[static_cast<std::size_t>(set)];
}

inline const realdata2e* tShiftEntry::Di(unsigned slot, unsigned first_cell,
                                         unsigned second_cell) const {
  GridIndex(slot, pair_slots_, first_cell);  // range checks only
  GridIndex(slot, pair_slots_, second_cell);
  if (pair_count_ == 0) return nullptr;
  const tPairCell& found = pair_cells_[PairProbe(PairKey(slot, first_cell, second_cell))];
  return found.Key == kNoPairKey ? nullptr : &pair_sets_[static_cast<std::size_t>(found.Set)];
}

}  // namespace glycomb
