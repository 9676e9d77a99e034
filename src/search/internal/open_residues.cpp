#include "search/internal/open_residues.hpp"

#include <algorithm>
#include <limits>

namespace glycomb {
namespace {

constexpr std::int32_t kLowest = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kHighest = std::numeric_limits<std::int32_t>::max();

// Insertion sort, for the few values of a residue.
void SortFew(std::int32_t* values, std::size_t count) {
  for (std::size_t i = 1; i < count; ++i) {
    const std::int32_t value = values[i];
    std::size_t at = i;
    for (; at > 0 && values[at - 1] > value; --at) values[at] = values[at - 1];
    values[at] = value;
  }
}

// Widens `into` to cover `from` as well.
void Combine(tOwnStats& into, const tOwnStats& from) {
  into.Terms = std::min(into.Terms, from.Terms);
  into.Cost = std::min(into.Cost, from.Cost);
  for (std::size_t q = 0; q < into.Count; ++q) {
    into.Ranges[q].Low = std::min(into.Ranges[q].Low, from.Ranges[q].Low);
    into.Ranges[q].High = std::max(into.Ranges[q].High, from.Ranges[q].High);
  }
  for (std::size_t s = 0; s < kMaxResidues; ++s) {
    into.Spin[s] = std::min(into.Spin[s], from.Spin[s]);
    into.SpinOffset[s] = std::min(into.SpinOffset[s], from.SpinOffset[s]);
  }
}

std::uint32_t DistanceOutside(std::int32_t value, const tRange& range) {
  return value < range.Low    ? static_cast<std::uint32_t>(range.Low - value)
         : value > range.High ? static_cast<std::uint32_t>(value - range.High)
                              : 0u;
}

}  // namespace

tOpenResidues::tOpenResidues(const tMeasuredSpectrum& measured, const tAdditiveBound& additive,
                             std::size_t carbon_count)
    : measured_(measured),
      additive_(additive),
      work_(3 * carbon_count + 2, 0),
      dependent_ranges_(carbon_count) {}

void tOpenResidues::Prepare(const tPartialStructure& partial) {
  partial_ = &partial;
  std::array<std::array<std::int64_t, 2>, kMaxResidues> dependent{};
  for (std::size_t i = 0; i < partial.Choices().Nodes; ++i) {
    PrepareResidue(partial, i);
    PrepareDependent(partial, i, dependent[i]);
  }
  PrepareLevels(partial, dependent);
  if (measured_.SpinSystems()) PrepareSpin(partial);
}

// Own carbons: over all blocks, over the blocks of each choice of positions (contiguous in the
// block table, the positions being its outermost variable), and of each block on its own.
void tOpenResidues::PrepareResidue(const tPartialStructure& partial, std::size_t i) {
  const tBlockTable& blocks = partial.Blocks();
  const std::size_t count = partial.CarbonCount(i);
  const std::size_t own_first = partial.DependentCarbons(i);
  const std::size_t own_count = count > own_first ? count - own_first : 0;
  const std::size_t choices = partial.Choices().Count(partial.Choices().PositionsOf(i));
  const std::size_t per_choice = blocks.Count(i) / choices;
  tOwnStats empty;
  empty.Count = static_cast<std::uint8_t>(own_count);
  empty.Terms = std::numeric_limits<std::int64_t>::max();
  empty.Cost = kNoThreshold;
  empty.Ranges.fill({kHighest, kLowest});
  empty.Spin.fill(kNoLineMatch);
  empty.SpinOffset.fill(kNoLineMatch);
  all_[i] = empty;
  by_choice_[i].assign(choices, empty);
  by_block_[i].assign(blocks.Count(i), empty);
  for (std::size_t b = 0; b < blocks.Count(i); ++b) {
    const tResidueBlock& block = blocks.Block(i, b);
    tOwnStats& stats = by_block_[i][b];
    std::array<std::int32_t, kMaxCarbons> values{};
    std::copy_n(block.Shifts.begin() + static_cast<std::ptrdiff_t>(own_first), own_count,
                values.begin());
    stats.Terms = 0;
    for (std::size_t q = 0; q < own_count; ++q) stats.Terms += additive_.Term(values[q]);
    SortFew(values.data(), own_count);
    stats.Cost = measured_.AutoOffset() ? 0
                                        : InjectionCost(values.data(), own_count, measured_.Sorted(),
                                                        measured_.Size(), work_.data());
    // The sorted comparison sees the residue's own carbons only as a set of values: the smallest
    // of them lies between the least and the greatest smallest value over the blocks, and so on;
    // much narrower ranges than those of each carbon.
    for (std::size_t q = 0; q < own_count; ++q) stats.Ranges[q] = {values[q], values[q]};
    if (measured_.SpinSystems() && count > 0) {
      for (std::size_t s = 0; s < measured_.LineCount(); ++s) {
        if (measured_.LineLength(s) != count) continue;
        const std::int32_t* line = measured_.Line(s);
        std::uint32_t sum = 0;
        for (std::size_t k = own_first; k < count; ++k) {
          sum += DistanceOutside(block.Shifts[k], {line[k], line[k]});
        }
        stats.Spin[s] = sum;
        stats.SpinOffset[s] =
            measured_.AutoOffset() && own_count > 0
                ? tSpectrumScorer::BestOffsetSum(block.Shifts.data() + own_first, line + own_first,
                                                 own_count)
                : 0;
      }
    }
    Combine(all_[i], stats);
    Combine(by_choice_[i][b / per_choice], stats);
  }
}

// The carbons the parent changes: their ranges over the residue's blocks and what the parent's
// blocks hand on, and their least additive terms.
void tOpenResidues::PrepareDependent(const tPartialStructure& partial, std::size_t i,
                                     std::array<std::int64_t, 2>& least) {
  constexpr std::size_t kMaxHanded = 64;
  const tBlockTable& blocks = partial.Blocks();
  const std::uint8_t parent = partial.Topology().Nodes[i].Parent;
  const tTopologyNode& links = partial.Topology().Nodes[parent];
  const std::size_t count = std::min(partial.CarbonCount(i), partial.DependentCarbons(i));
  for (std::size_t k = 0; k < count; ++k) {
    std::array<std::int32_t, kMaxHanded> handed{};
    std::size_t handed_count = 0;
    bool overflow = false;
    for (std::size_t b = 0; b < blocks.Count(parent) && !overflow; ++b) {
      const tResidueBlock& from = blocks.Block(parent, b);
      const std::int32_t value = links.FirstChild == i ? (k == 0 ? from.FirstChildC1 : from.FirstChildC2)
                                 : k == 0            ? from.SecondChildC1
                                                     : 0;
      if (std::find(handed.begin(), handed.begin() + handed_count, value) !=
          handed.begin() + handed_count) {
        continue;
      }
      overflow = handed_count == kMaxHanded;
      if (!overflow) handed[handed_count++] = value;
    }
    tRange& range = dependent_ranges_[partial.FirstCarbon(i) + k];
    range = {kHighest, kLowest};
    least[k] = std::numeric_limits<std::int64_t>::max();
    for (std::size_t b = 0; b < blocks.Count(i); ++b) {
      for (std::size_t h = 0; h < handed_count; ++h) {
        const std::int32_t value = blocks.Block(i, b).Shifts[k] + handed[h];
        range.Low = std::min(range.Low, value);
        range.High = std::max(range.High, value);
        least[k] = std::min<std::int64_t>(least[k], additive_.Term(value));
      }
    }
    // Too many values handed on: no term from this carbon, and any value in range.
    if (overflow) {
      least[k] = std::numeric_limits<std::int64_t>::min() / 4;
      range = {kLowest / 2, kHighest / 2};
    }
  }
}

// Per level: the residues whose blocks are open, split into those whose positions are fixed
// (taken per choice while searching) and the others (summed here once), and the carbons that a
// parent changes whose values are still open.
void tOpenResidues::PrepareLevels(
    const tPartialStructure& partial,
    const std::array<std::array<std::int64_t, 2>, kMaxResidues>& dependent) {
  const std::size_t n = partial.Choices().Nodes;
  for (std::size_t level = 0; level <= partial.Variables(); ++level) {
    std::int64_t terms = 0;
    std::uint32_t cost = 0;
    std::vector<tRange>& open = ranges_[level];
    open.clear();
    known_[level].clear();
    for (std::size_t i = 0; i < n; ++i) {
      if (partial.BlockLevel(i) <= level) continue;
      if (partial.Fixed(partial.Choices().PositionsOf(i), level)) {
        known_[level].push_back(static_cast<std::uint8_t>(i));
        continue;
      }
      terms += all_[i].Terms;
      cost += all_[i].Cost;
      open.insert(open.end(), all_[i].Ranges.begin(), all_[i].Ranges.begin() + all_[i].Count);
    }
    for (std::size_t l = level + 1; l <= partial.Variables(); ++l) {
      for (const std::uint8_t carbon : partial.Level(l).Carbons) {
        const std::size_t node = partial.NodeOfCarbon(carbon);
        const std::size_t k = carbon - partial.FirstCarbon(node);
        if (k < partial.DependentCarbons(node)) {
          terms += dependent[node][k];
          open.push_back(dependent_ranges_[carbon]);
        }
      }
    }
    std::sort(open.begin(), open.end(),
              [](const tRange& a, const tRange& b) { return a.Low < b.Low; });
    terms_[level] = terms;
    cost_[level] = cost;
  }
}

void tOpenResidues::PrepareSpin(const tPartialStructure& partial) {
  for (std::size_t r = 0; r < partial.ResidueCount(); ++r) {
    const std::size_t node = partial.Residues()[r].Node;
    const std::size_t first = partial.FirstCarbon(node);
    const std::size_t count = partial.Residues()[r].Count;
    for (std::size_t s = 0; s < partial.ResidueCount(); ++s) {
      std::uint32_t& distance = dependent_spin_[r][s];
      distance = 0;
      if (measured_.LineLength(s) != count) continue;
      const std::int32_t* line = measured_.Line(s);
      for (std::size_t k = 0; k < std::min(count, partial.DependentCarbons(node)); ++k) {
        distance += DistanceOutside(line[k], dependent_ranges_[first + k]);
      }
    }
  }
}

const tOwnStats& tOpenResidues::Stats(std::size_t node, std::size_t level, std::uint64_t visit) {
  const tPartialStructure& partial = *partial_;
  const tSequenceChoices& choices = partial.Choices();
  const tBlockTable& blocks = partial.Blocks();
  const std::uint8_t* choice = partial.Choice();
  if (!partial.Fixed(choices.PositionsOf(node), level)) return all_[node];
  // The configurations the block depends on: variables 1.. of the block.
  bool any_configuration = false;
  for (std::size_t k = 1; k < blocks.VariableCount(node); ++k) {
    const std::size_t variable = blocks.Variable(node, k);
    any_configuration = any_configuration ||
                        (choices.Count(variable) > 1 && partial.Fixed(variable, level));
  }
  if (!any_configuration) return by_choice_[node][choice[choices.PositionsOf(node)]];
  if (agreeing_visit_[node] == visit) return agreeing_[node];
  agreeing_visit_[node] = visit;
  // Every block of the chosen positions whose configurations agree with the fixed ones: an
  // odometer over the open configurations.
  tOwnStats& stats = agreeing_[node];
  std::array<std::size_t, kMaxBlockVariables> digit{};
  bool first = true;
  for (;;) {
    std::size_t index = 0;
    for (std::size_t k = 0; k < blocks.VariableCount(node); ++k) {
      const std::size_t variable = blocks.Variable(node, k);
      const std::size_t option = partial.Fixed(variable, level) ? choice[variable] : digit[k];
      index = index * choices.Count(variable) + option;
    }
    if (first) {
      stats = by_block_[node][index];
      first = false;
    } else {
      Combine(stats, by_block_[node][index]);
    }
    std::size_t k = blocks.VariableCount(node);
    while (k-- > 1) {
      const std::size_t variable = blocks.Variable(node, k);
      if (partial.Fixed(variable, level)) continue;
      if (++digit[k] < choices.Count(variable)) break;
      digit[k] = 0;
    }
    if (k == 0) break;
  }
  return stats;
}

}  // namespace glycomb
