// Internal to the search. A sequence in the middle of the descent: which choices are fixed, which
// blocks and carbon values they determine, level by level. The descent fixes the variables of the
// sequence's choices in the order of generation or with the open configurations first; level l is
// the state after the first l of them are fixed, and a variable with a single option counts as
// fixed from level 0.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "scoring/spectrum_score.hpp"
#include "search/internal/block_table.hpp"
#include "search/sequence_enumerator.hpp"

namespace glycomb {

inline constexpr std::size_t kMaxLevels = 2 * kMaxResidues + 1;
inline constexpr std::size_t kMaxSpectrum = kMaxCarbons * kMaxResidues;

// What one level adds: the blocks and carbons its choice determines.
struct tLevel {
  std::vector<std::uint8_t> Carbons;  // carbons whose values it determines
  std::vector<std::uint8_t> Blocks;   // nodes whose blocks it determines
  std::array<std::int32_t, kMaxSpectrum> Added{};  // the values of Carbons, ascending
  std::size_t AddedCount = 0;
  std::vector<std::int32_t> Sorted;  // every value determined up to this level, ascending,
  std::size_t SortedCount = 0;       // valid when Merged
  bool Merged = false;
};

class tPartialStructure {
 public:
  // Sizes the arrays for `carbon_count` carbons.
  explicit tPartialStructure(std::size_t carbon_count);

  // Lays out the sequence whose choices and blocks are given: the level of every block and
  // carbon. `carbon_offsets` (C1 of each node, then the number of carbons) and `phosphate`
  // (whether each composition entry is the phosphate) describe the sequence's residues. Every
  // argument must outlive the descent of the sequence.
  // With `configurations_first` the descent fixes the open configurations first.
  void Layout(const tSequenceChoices& choices, const tBlockTable& blocks, const tTopology& topology,
              const std::uint8_t* carbon_offsets, const tStructure& structure,
              const std::array<bool, kMaxResidues + 1>& phosphate, bool configurations_first);

  // Takes the blocks and values that the choices up to `level` determine (Choose sets the options
  // first). Determine(0) takes those fixed from the start.
  void Determine(std::size_t level);
  // Fills the level's Sorted from the level above and its own values.
  void MergeSorted(std::size_t level);
  void Choose(std::size_t variable, std::size_t option) {
    choice_[variable] = static_cast<std::uint8_t>(option);
  }
  // The variable the descent fixes at `level` (to go to level + 1).
  std::size_t VariableAt(std::size_t level) const { return order_[level]; }
  // Whether the descent fixes the variables in another order than they are generated in.
  bool Reordered() const { return configuration_levels_ > 0; }
  // The level at which the open configurations, fixed first, are all fixed (0: not reordered).
  std::size_t ConfigurationLevels() const { return configuration_levels_; }
  // The rank of the candidate of the current choices in the order of generation of the sequence.
  std::int64_t GenerationRank() const {
    std::int64_t rank = 0;
    for (std::size_t v = 0; v < choices_->Variables(); ++v) rank += choice_[v] * stride_[v + 1];
    return rank;
  }

  // The same for the candidate that `candidate` holds (its positions and configurations).
  std::int64_t GenerationRank(const tStructure& candidate) const;

  const tSequenceChoices& Choices() const { return *choices_; }
  const tBlockTable& Blocks() const { return *blocks_; }
  const tTopology& Topology() const { return *topology_; }
  const std::uint8_t* Choice() const { return choice_.data(); }
  std::size_t Variables() const { return choices_->Variables(); }
  // Whether `variable` is fixed at `level`.
  bool Fixed(std::size_t variable, std::size_t level) const {
    return choices_->Count(variable) <= 1 || rank_[variable] + 1u <= level;
  }
  const tLevel& Level(std::size_t level) const { return levels_[level]; }
  tLevel& Level(std::size_t level) { return levels_[level]; }
  // The level at which the block of `node` is determined.
  std::size_t BlockLevel(std::size_t node) const { return block_level_[node]; }
  bool PhosphateParent(std::size_t node) const { return phosphate_parent_[node]; }
  // The carbons of `node` that its parent changes (C1, and C2 below a phosphate).
  std::size_t DependentCarbons(std::size_t node) const { return phosphate_parent_[node] ? 2 : 1; }
  std::size_t FirstCarbon(std::size_t node) const { return carbon_offsets_[node]; }
  std::size_t CarbonCount(std::size_t node) const {
    return carbon_offsets_[node + 1] - carbon_offsets_[node];
  }
  std::size_t NodeOfCarbon(std::size_t carbon) const { return node_of_carbon_[carbon]; }
  // The value of a carbon, valid once a level has determined it.
  std::int32_t Value(std::size_t carbon) const { return values_[carbon]; }
  const std::int32_t* Values() const { return values_.data(); }
  // The residues that carry carbons, in node order, their shifts pointing into the values.
  const tResidueShifts* Residues() const { return residues_.data(); }
  std::size_t ResidueCount() const { return residue_count_; }
  // Gives the residues their parents' positions from `structure`, which holds the candidate's
  // choices (for the LINK lines).
  void Attach(const tStructure& structure) {
    AttachResidues(structure, *topology_, residues_.data(), residue_count_);
  }
  // Candidates below a node of the descent at `level`.
  std::int64_t LeavesBelow(std::size_t level) const { return leaves_below_[level]; }

 private:
  const tSequenceChoices* choices_ = nullptr;
  const tBlockTable* blocks_ = nullptr;
  const tTopology* topology_ = nullptr;
  const std::uint8_t* carbon_offsets_ = nullptr;
  std::array<std::uint8_t, 2 * kMaxResidues> choice_{};
  std::array<std::int64_t, kMaxLevels> leaves_below_{};  // by level
  std::array<std::int64_t, kMaxLevels> stride_{};        // by variable, in the order of generation
  std::array<std::uint8_t, 2 * kMaxResidues> order_{};   // the variable fixed at each level
  std::array<std::uint8_t, 2 * kMaxResidues> rank_{};    // the level at which each is fixed
  std::size_t configuration_levels_ = 0;  // open configurations fixed first
  std::array<std::size_t, kMaxResidues> block_level_{};
  std::array<bool, kMaxResidues> phosphate_parent_{};  // C2 takes the parent's effect too
  std::array<const tResidueBlock*, kMaxResidues> current_{};  // the determined blocks
  std::vector<std::uint8_t> node_of_carbon_;
  std::vector<std::int32_t> values_;  // by carbon
  std::array<tLevel, kMaxLevels> levels_;
  std::array<tResidueShifts, kMaxResidues> residues_{};
  std::size_t residue_count_ = 0;
};

}  // namespace glycomb
