// Internal to the search. What the residues whose blocks are not determined yet add at least to
// each lower bound, worked out once per sequence from their blocks: over all their blocks, over
// those of one choice of their positions, or over those that agree with the configurations fixed
// so far; and the ranges of the carbons that a residue's parent changes.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/internal/partial_structure.hpp"

namespace glycomb {

// The values a carbon, or the smallest, second smallest, ... value of a residue, can take.
struct tRange {
  std::int32_t Low = 0;
  std::int32_t High = 0;
};

// What the own carbons of a residue (those its parent does not change) add at least, over a set of
// its blocks.
struct tOwnStats {
  std::int64_t Terms = 0;  // additive bound
  std::uint32_t Cost = 0;  // one-to-one map into the measured spectrum
  std::uint8_t Count = 0;  // own carbons
  std::array<tRange, kMaxCarbons> Ranges{};      // of the smallest, second smallest, ... value
  std::array<std::uint32_t, kMaxResidues> Spin{};        // against each line
  std::array<std::uint32_t, kMaxResidues> SpinOffset{};  // each at its best offset
};

class tOpenResidues {
 public:
  // `measured` and `additive` must outlive it; `additive` is read as it is when Prepare runs.
  tOpenResidues(const tMeasuredSpectrum& measured, const tAdditiveBound& additive,
                std::size_t carbon_count);

  // Works out the figures of every residue of the sequence laid out in `partial`.
  void Prepare(const tPartialStructure& partial);

  // The own-carbon figures that bound the open residue at `node` at `level`: over all its blocks,
  // over those of its chosen positions once they are fixed, and once configurations it depends on
  // are fixed too, over the blocks that agree with them (cached for the visit `visit`).
  const tOwnStats& Stats(std::size_t node, std::size_t level, std::uint64_t visit);

  // At each level: the open residues whose positions are fixed (to be taken with Stats), and what
  // the others and every carbon that a parent changes add together.
  const std::vector<std::uint8_t>& PositionsKnown(std::size_t level) const { return known_[level]; }
  std::int64_t Terms(std::size_t level) const { return terms_[level]; }
  std::uint32_t Cost(std::size_t level) const { return cost_[level]; }
  // Ranges of the open carbons of the others and of the dependent carbons, by lower end.
  const std::vector<tRange>& Ranges(std::size_t level) const { return ranges_[level]; }
  // The range of a carbon that its parent changes.
  const tRange& DependentRange(std::size_t carbon) const { return dependent_ranges_[carbon]; }
  // With spin systems: the distance of each line to the ranges of the dependent carbons of each
  // carbon-bearing residue (by residue index of the partial structure).
  std::uint32_t DependentSpin(std::size_t residue, std::size_t line) const {
    return dependent_spin_[residue][line];
  }

 private:
  void PrepareResidue(const tPartialStructure& partial, std::size_t node);
  void PrepareDependent(const tPartialStructure& partial, std::size_t node,
                        std::array<std::int64_t, 2>& least);
  void PrepareLevels(const tPartialStructure& partial,
                     const std::array<std::array<std::int64_t, 2>, kMaxResidues>& dependent);
  void PrepareSpin(const tPartialStructure& partial);

  const tMeasuredSpectrum& measured_;
  const tAdditiveBound& additive_;
  const tPartialStructure* partial_ = nullptr;
  std::vector<std::uint32_t> work_;
  std::array<tOwnStats, kMaxResidues> all_{};
  std::array<std::vector<tOwnStats>, kMaxResidues> by_choice_;
  std::array<std::vector<tOwnStats>, kMaxResidues> by_block_;
  std::array<tOwnStats, kMaxResidues> agreeing_{};  // over the blocks agreeing with one visit
  std::array<std::uint64_t, kMaxResidues> agreeing_visit_{};
  std::vector<tRange> dependent_ranges_;  // by carbon
  std::array<std::vector<std::uint8_t>, kMaxLevels> known_;
  std::array<std::int64_t, kMaxLevels> terms_{};
  std::array<std::uint32_t, kMaxLevels> cost_{};
  std::array<std::vector<tRange>, kMaxLevels> ranges_;
  tCostMatrix dependent_spin_{};
};

}  // namespace glycomb
