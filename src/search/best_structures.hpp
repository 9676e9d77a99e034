// The table of the best structures found so far: the Limit candidates with the smallest deviation.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "scoring/spectrum_score.hpp"
#include "topology/structure.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// No threshold: every candidate may matter (the table is not full yet).
inline constexpr std::uint32_t kNoThreshold = std::numeric_limits<std::uint32_t>::max();

// One kept result: a copy of the candidate, its deviation and how it was scored (the offset
// added to the measured shifts; the spin system each node's residue was matched to).
struct tResultRecord {
  tStructure Structure;
  std::uint32_t Deviation = 0;
  std::int32_t Offset = 0;
  std::array<std::uint8_t, kMaxResidues> LineOfNode{};
};

// Whether a and b are the same structure: same topology and, at every node, residues of the same
// name (composition entries of one name are interchangeable) with equal configurations and
// substitution positions. `name_of_entry` maps a composition entry to its NameIndex.
bool SameStructure(const tStructure& a, const tStructure& b,
                   const std::uint8_t* name_of_entry);

// A structure as a polymer: its residues (names, configurations), which is attached at which
// position of which, read around the main chain from the residue that makes it smallest. Two
// structures are the same polymer, one written from another residue of its main chain, exactly
// when their keys are equal.
struct tPolymerKey {
  std::array<std::uint8_t, 8 * kMaxResidues + 2> Bytes{};
  std::size_t Size = 0;
  friend bool operator==(const tPolymerKey&, const tPolymerKey&) = default;
};
void PolymerKey(const tStructure& structure, const tTopology& topology,
                const std::uint8_t* name_of_entry, tPolymerKey& key);

class tBestStructures {
 public:
  // Sizes the table for `limit` entries of `node_count` nodes each, so that keeping a candidate
  // never allocates. `name_of_entry` holds the NameIndex of composition entries 0..n. With
  // `one_per_polymer` (the topology table, which must outlive it) the table holds one entry per
  // polymer: a structure is held when the same polymer, written from any residue, is.
  void Create(std::uint8_t limit, std::size_t node_count,
              const std::vector<std::uint8_t>& name_of_entry,
              const tTopologyTable* one_per_polymer = nullptr);

  // Whether the table already holds `candidate` (checked before the candidate is scored).
  bool Holds(const tStructure& candidate) const;

  // Keeps `candidate` with `deviation` when the table is not full, or in place of the worst entry
  // (the lowest index among equal worst deviations) when it is better than that one. A candidate
  // that no assignment meeting the LINK lines scores (kInfeasibleSum) is never kept.
  void Keep(const tStructure& candidate, const tScore& score);
  // The deviation of the worst kept entry, or none while the table is not full: a candidate
  // whose deviation is above it can neither be kept nor be a duplicate of a kept entry.
  std::uint32_t Threshold() const;

  // Entry i of the table, i < BestCount(); in no particular order until sorted.
  const tResultRecord& Entry(std::size_t i) const;
  std::uint8_t BestCount() const { return best_count_; }
  std::uint8_t Limit() const { return limit_; }

  // Orders the filled entries by deviation, keeping the order of equal deviations.
  void SortByDeviation();

 private:
  void Put(std::size_t i, const tStructure& candidate, const tScore& score);

  std::vector<tResultRecord> entries_;  // Limit entries; the first best_count_ are filled
  std::vector<std::uint8_t> name_of_entry_;
  const tTopologyTable* polymers_ = nullptr;  // one entry per polymer
  std::vector<tPolymerKey> keys_;              // of the entries, with one entry per polymer
  mutable tPolymerKey candidate_key_;
  std::uint8_t limit_ = 0;
  std::uint8_t best_count_ = 0;
};

}  // namespace glycomb
