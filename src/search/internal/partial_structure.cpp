#include "search/internal/partial_structure.hpp"

#include <algorithm>

#include "console/checked.hpp"

namespace glycomb {
namespace {

// Insertion sort, for the few values of a residue or two.
void SortFew(std::int32_t* values, std::size_t count) {
  for (std::size_t i = 1; i < count; ++i) {
    const std::int32_t value = values[i];
    std::size_t at = i;
    for (; at > 0 && values[at - 1] > value; --at) values[at] = values[at - 1];
    values[at] = value;
  }
}

}  // namespace

tPartialStructure::tPartialStructure(std::size_t carbon_count)
    : node_of_carbon_(carbon_count, 0), values_(carbon_count, 0) {
  for (tLevel& level : levels_) {
    level.Sorted.assign(carbon_count, 0);
    level.Carbons.reserve(carbon_count);
  }
}

void tPartialStructure::Layout(const tSequenceChoices& choices, const tBlockTable& blocks,
                               const tTopology& topology, const std::uint8_t* carbon_offsets,
                               const tStructure& structure,
                               const std::array<bool, kMaxResidues + 1>& phosphate,
                               bool configurations_first) {
  choices_ = &choices;
  blocks_ = &blocks;
  topology_ = &topology;
  carbon_offsets_ = carbon_offsets;
  const std::size_t n = choices.Nodes;
  const std::size_t variables = choices.Variables();
  choice_.fill(0);
  // The order of the descent: the open configurations first (they change every block they touch,
  // so fixed early they sharpen the bounds of the whole subtree), then the rest as generated.
  std::size_t next = 0;
  for (std::size_t v = n; v < variables && configurations_first; ++v) {
    if (choices.Count(v) > 1) order_[next++] = static_cast<std::uint8_t>(v);
  }
  configuration_levels_ = next;
  for (std::size_t v = 0; v < variables; ++v) {
    if (configuration_levels_ == 0 || v < n || choices.Count(v) <= 1) order_[next++] = static_cast<std::uint8_t>(v);
  }
  for (std::size_t d = 0; d < variables; ++d) rank_[order_[d]] = static_cast<std::uint8_t>(d);
  leaves_below_[variables] = 1;
  stride_[variables] = 1;
  for (std::size_t d = variables; d-- > 0;) {
    leaves_below_[d] = CheckedMul<std::int64_t>(leaves_below_[d + 1],
                                                static_cast<std::int64_t>(choices.Count(order_[d])));
    stride_[d] = CheckedMul<std::int64_t>(stride_[d + 1], static_cast<std::int64_t>(choices.Count(d)));
  }
  // A block is determined once the last of its variables is fixed.
  for (std::size_t i = 0; i < n; ++i) {
    std::size_t level = 0;
    for (std::size_t k = 0; k < blocks.VariableCount(i); ++k) {
      const std::size_t variable = blocks.Variable(i, k);
      if (choices.Count(variable) > 1) level = std::max<std::size_t>(level, rank_[variable] + 1u);
    }
    block_level_[i] = level;
  }
  for (tLevel& level : levels_) {
    level.Carbons.clear();
    level.Blocks.clear();
  }
  for (std::size_t i = 0; i < n; ++i) levels_[block_level_[i]].Blocks.push_back(static_cast<std::uint8_t>(i));
  residue_count_ = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t first = carbon_offsets[i];
    const std::size_t count = carbon_offsets[i + 1] - first;
    const std::uint8_t parent = topology.Nodes[i].Parent;
    phosphate_parent_[i] = phosphate[structure.Nodes[parent].Residue];
    for (std::size_t k = 0; k < count; ++k) {
      std::size_t level = block_level_[i];
      // C1 takes what the parent hands on, and so does C2 from a phosphate.
      if (k < DependentCarbons(i)) level = std::max(level, block_level_[parent]);
      levels_[level].Carbons.push_back(static_cast<std::uint8_t>(first + k));
      node_of_carbon_[first + k] = static_cast<std::uint8_t>(i);
    }
    if (count > 0) {
      residues_[residue_count_++] = {values_.data() + first, static_cast<std::uint8_t>(count),
                                     static_cast<std::uint8_t>(i)};
    }
  }
  // The residue each residue is attached to, for the LINK lines.
  std::array<std::uint8_t, kMaxResidues> residue_of_node;
  residue_of_node.fill(kNoParentResidue);
  for (std::size_t r = 0; r < residue_count_; ++r) residue_of_node[residues_[r].Node] = static_cast<std::uint8_t>(r);
  for (std::size_t r = 0; r < residue_count_; ++r) {
    residues_[r].Parent = residue_of_node[topology.Nodes[residues_[r].Node].Parent];
  }
  levels_[0].SortedCount = 0;
}

std::int64_t tPartialStructure::GenerationRank(const tStructure& candidate) const {
  const tSequenceChoices& choices = *choices_;
  std::int64_t rank = 0;
  for (std::size_t v = 0; v < choices.Variables(); ++v) {
    const bool positions = v < choices.Nodes;
    const tStructureNode& node = candidate.Nodes[positions ? v : v - choices.Nodes];
    const std::uint8_t first = positions ? node.Subst1 : node.Anomeric;
    const std::uint8_t second = positions ? node.Subst2 : node.Absolute;
    std::size_t option = 0;
    while (option + 1 < choices.Count(v) && (choices.Options[v][option].First != first ||
                                             choices.Options[v][option].Second != second)) {
      ++option;
    }
    rank += static_cast<std::int64_t>(option) * stride_[v + 1];
  }
  return rank;
}

void tPartialStructure::Determine(std::size_t level) {
  tLevel& here = levels_[level];
  for (const std::uint8_t i : here.Blocks) current_[i] = &blocks_->Block(i, blocks_->Index(i, choice_.data()));
  std::int32_t* const values = values_.data();
  std::int32_t* const added_values = here.Added.data();
  std::size_t added = 0;
  for (const std::uint8_t carbon : here.Carbons) {
    const std::size_t node = node_of_carbon_[carbon];
    const std::size_t k = carbon - carbon_offsets_[node];
    std::int32_t value = current_[node]->Shifts[k];
    if (k == 0 || (k == 1 && phosphate_parent_[node])) {
      const std::uint8_t parent = topology_->Nodes[node].Parent;
      const tTopologyNode& links = topology_->Nodes[parent];
      const tResidueBlock& from = *current_[parent];
      if (links.FirstChild == node) {
        value += k == 0 ? from.FirstChildC1 : from.FirstChildC2;
      } else if (links.SecondChild == node && k == 0) {
        value += from.SecondChildC1;
      }
    }
    values[carbon] = value;
    added_values[added++] = value;
  }
  SortFew(added_values, added);
  here.AddedCount = added;
  here.Merged = false;
}

void tPartialStructure::MergeSorted(std::size_t level) {
  tLevel& here = levels_[level];
  const std::size_t before = level == 0 ? 0 : levels_[level - 1].SortedCount;
  const std::int32_t* previous = level == 0 ? nullptr : levels_[level - 1].Sorted.data();
  std::merge(previous, previous + before, here.Added.data(), here.Added.data() + here.AddedCount,
             here.Sorted.data());
  here.SortedCount = before + here.AddedCount;
  here.Merged = true;
}

}  // namespace glycomb
