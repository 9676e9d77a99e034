// Internal to the search. The blocks of one sequence: for every node, the block of its residue
// (spectrum/spectrum_calculation.hpp) for every combination of the choices it depends on, so that
// the descent assembles candidates from precalculated blocks instead of calculating them.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "search/sequence_enumerator.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {

// The most variables a block depends on: the node's positions and configurations, and the
// configurations of its two children.
inline constexpr std::size_t kMaxBlockVariables = 4;

class tBlockTable {
 public:
  // Calculates every block of the sequence held in `structure` (its node entries are overwritten).
  // Returns false when some block cannot be calculated; the others are all there.
  bool Build(const tSequenceChoices& choices, const tTopology& topology, tStructure& structure,
             const tSpectrumCalculator& calculator);

  // The variables the block of `node` depends on, outermost first: the node's positions, its
  // configurations, those of its children. Valid after Build.
  std::size_t VariableCount(std::size_t node) const { return variable_count_[node]; }
  std::size_t Variable(std::size_t node, std::size_t k) const { return variables_[node][k]; }

  // The index of the block of `node` for the options `choice` (one per variable).
  std::size_t Index(std::size_t node, const std::uint8_t* choice) const;
  std::size_t Count(std::size_t node) const { return blocks_[node].size(); }
  const tResidueBlock& Block(std::size_t node, std::size_t index) const {
    return blocks_[node][index];
  }

  // The message of the first candidate in the order of generation that needs a block that cannot
  // be calculated; Build must have returned false.
  const std::string& FirstFailure() const;

 private:
  // Whether some block of some node that cannot be calculated agrees with the options `choice`
  // of the variables below `fixed`.
  bool CanFail(const std::uint8_t* choice, std::size_t fixed) const;
  // Decodes `index` of `node` into `options`, one per variable of the block.
  void Decode(std::size_t node, std::size_t index, std::size_t* options) const;

  const tSequenceChoices* choices_ = nullptr;
  std::size_t nodes_ = 0;
  std::array<std::array<std::size_t, kMaxBlockVariables>, kMaxResidues> variables_{};
  std::array<std::size_t, kMaxResidues> variable_count_{};
  std::array<std::vector<tResidueBlock>, kMaxResidues> blocks_;
  // By node and block: the index of its message in `messages_`, or -1 for a calculated block.
  std::array<std::vector<std::int32_t>, kMaxResidues> failure_;
  std::vector<std::string> messages_;
};

}  // namespace glycomb
