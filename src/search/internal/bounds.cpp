#include "search/internal/bounds.hpp"

#include <algorithm>
#include <limits>

#include "search/best_structures.hpp"

namespace glycomb {
namespace {

std::uint32_t DistanceOutside(std::int32_t value, std::int32_t low, std::int32_t high) {
  return value < low ? static_cast<std::uint32_t>(low - value)
         : value > high ? static_cast<std::uint32_t>(value - high)
                        : 0u;
}

std::uint32_t Distance(std::int32_t a, std::int32_t b) { return DistanceOutside(a, b, b); }

// What the open residues add to the additive terms and to the map cost at `level`: the others
// summed once per sequence, those whose positions are fixed by their chosen positions.
std::int64_t OpenTerms(const tBoundInputs& in, std::size_t level, std::uint64_t visit) {
  std::int64_t terms = in.Open.Terms(level);
  for (const std::uint8_t node : in.Open.PositionsKnown(level)) {
    terms += in.Open.Stats(node, level, visit).Terms;
  }
  return terms;
}

std::uint32_t OpenCost(const tBoundInputs& in, std::size_t level, std::uint64_t visit) {
  std::uint32_t cost = in.Open.Cost(level);
  for (const std::uint8_t node : in.Open.PositionsKnown(level)) {
    cost += in.Open.Stats(node, level, visit).Cost;
  }
  return cost;
}

}  // namespace

void tAdditiveFit::Offer(const std::int32_t* sorted, std::size_t count, std::uint32_t sum) {
  if (sum >= reference_sum_) return;
  reference_.assign(sorted, sorted + count);
  reference_sum_ = sum;
  refit_ = true;
}

void tAdditiveFit::Refit() {
  if (!refit_) return;
  bound_.Fit(reference_.data());
  refit_ = false;
}

std::uint32_t tAdditiveTermsBound::Bound(std::size_t level, std::uint64_t visit) {
  const std::int64_t sum = additive_.Constant() + terms_[level] + OpenTerms(in_, level, visit);
  return static_cast<std::uint32_t>(
      std::clamp<std::int64_t>(sum, 0, std::numeric_limits<std::uint32_t>::max()));
}

std::uint32_t tNearestShiftBound::Bound(std::size_t level, std::uint64_t visit) {
  return map_[level] + OpenCost(in_, level, visit);
}

std::uint32_t tInjectionBound::Bound(std::size_t level, std::uint64_t visit) {
  tLevel& here = in_.Partial.Level(level);
  if (!here.Merged) in_.Partial.MergeSorted(level);
  const std::uint32_t map = InjectionCost(here.Sorted.data(), here.SortedCount,
                                          in_.Measured.Sorted(), in_.Measured.Size(), work_.data());
  nearest_.Improve(level, map);
  return map + OpenCost(in_, level, visit);
}

void tRangeItems::Merge(std::size_t level, std::uint64_t visit) {
  // Ranges of the open residues whose positions are fixed: taken for the chosen positions.
  std::size_t chosen_count = 0;
  for (const std::uint8_t node : in_.Open.PositionsKnown(level)) {
    const tOwnStats& stats = in_.Open.Stats(node, level, visit);
    for (std::size_t q = 0; q < stats.Count; ++q) {
      const tRange range = stats.Ranges[q];
      std::size_t at = chosen_count++;
      for (; at > 0 && chosen_[at - 1].Low > range.Low; --at) chosen_[at] = chosen_[at - 1];
      chosen_[at] = range;
    }
  }
  const std::size_t m = in_.Measured.Size();
  const tLevel* earlier = level == 0 ? nullptr : &in_.Partial.Level(level - 1);
  const std::int32_t* earlier_values = earlier == nullptr ? nullptr : earlier->Sorted.data();
  const std::size_t earlier_count = earlier == nullptr ? 0 : earlier->SortedCount;
  const tLevel& here = in_.Partial.Level(level);
  const std::vector<tRange>& ranges = in_.Open.Ranges(level);
  std::int32_t* lows = Lows();
  std::int32_t* highs = Highs();
  constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
  std::size_t e = 0, a = 0, r = 0, c = 0;
  std::int32_t high = std::numeric_limits<std::int32_t>::min();
  for (std::size_t k = 0; k < m; ++k) {
    const std::int32_t from_earlier = e < earlier_count ? earlier_values[e] : kNone;
    const std::int32_t from_added = a < here.AddedCount ? here.Added[a] : kNone;
    const std::int32_t from_ranges = r < ranges.size() ? ranges[r].Low : kNone;
    const std::int32_t from_chosen = c < chosen_count ? chosen_[c].Low : kNone;
    const std::int32_t points = std::min(from_earlier, from_added);
    const std::int32_t spans = std::min(from_ranges, from_chosen);
    if (points <= spans) {
      lows[k] = points;
      high = std::max(high, points);
      if (from_earlier <= from_added) {
        ++e;
      } else {
        ++a;
      }
    } else {
      lows[k] = spans;
      high = std::max(high, from_ranges <= from_chosen ? ranges[r++].High : chosen_[c++].High);
    }
    highs[k] = high;
  }
}

std::uint32_t tRangeBound::Bound(std::size_t level, std::uint64_t visit) {
  items_.Merge(level, visit);
  const std::int32_t* y = in_.Measured.Sorted();
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < in_.Measured.Size(); ++k) {
    sum += DistanceOutside(y[k], items_.Lows()[k], items_.Highs()[k]);
  }
  return sum;
}

// The range bound is convex in the offset and smallest at the median of the points where the
// items' terms start to rise.
std::uint32_t tOffsetRangeBound::Bound(std::size_t level, std::uint64_t visit) {
  items_.Merge(level, visit);
  const std::int32_t* y = in_.Measured.Sorted();
  const std::size_t m = in_.Measured.Size();
  std::int32_t* lows = items_.Lows();
  std::int32_t* highs = items_.Highs();
  std::int32_t* median = items_.Scratch();
  // The term of the item matched to y[k] is zero for offsets from lows[k] - y[k] to highs[k] -
  // y[k] and rises by one per tenth outside.
  for (std::size_t k = 0; k < m; ++k) {
    lows[k] -= y[k];
    highs[k] -= y[k];
    median[2 * k] = lows[k];
    median[2 * k + 1] = highs[k];
  }
  std::nth_element(median, median + (m - 1), median + 2 * m);
  const std::int32_t offset = std::clamp(median[m - 1], -kMaxAutoOffset, kMaxAutoOffset);
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < m; ++k) sum += DistanceOutside(offset, lows[k], highs[k]);
  return sum;
}

std::uint32_t tSpinBound::Bound(std::size_t level, std::uint64_t visit) {
  const tPartialStructure& partial = in_.Partial;
  const tMeasuredSpectrum& measured = in_.Measured;
  const std::size_t residues = partial.ResidueCount();
  for (std::size_t r = 0; r < residues; ++r) {
    const std::size_t node = partial.Residues()[r].Node;
    if (partial.BlockLevel(node) > level) {
      const tOwnStats& stats = in_.Open.Stats(node, level, visit);
      for (std::size_t s = 0; s < residues; ++s) {
        costs_[r][s] = std::min(kNoLineMatch, stats.Spin[s] + in_.Open.DependentSpin(r, s));
      }
      continue;
    }
    const std::size_t first = partial.FirstCarbon(node);
    const std::size_t count = partial.Residues()[r].Count;
    // The carbons the parent changes are determined once the parent's block is.
    const bool parent_known = partial.BlockLevel(partial.Topology().Nodes[node].Parent) <= level;
    const std::size_t dependent = parent_known ? 0 : partial.DependentCarbons(node);
    for (std::size_t s = 0; s < residues; ++s) {
      if (measured.LineLength(s) != count) {
        costs_[r][s] = kNoLineMatch;
        continue;
      }
      const std::int32_t* line = measured.Line(s);
      std::uint32_t sum = 0;
      for (std::size_t k = 0; k < count; ++k) {
        if (k < dependent) {
          const tRange& range = in_.Open.DependentRange(first + k);
          sum += DistanceOutside(line[k], range.Low, range.High);
        } else {
          sum += Distance(partial.Value(first + k), line[k]);
        }
      }
      costs_[r][s] = sum;
    }
  }
  if (in_.Measured.LinkCount() > 0) {
    return scorer_.LinkedAssignment(costs_, partial.Residues(), residues, links_.Able(level));
  }
  return scorer_.CheapestAssignment(costs_, residues);
}

std::uint32_t tSpinOffsetBound::Bound(std::size_t level, std::uint64_t visit) {
  const tPartialStructure& partial = in_.Partial;
  const tMeasuredSpectrum& measured = in_.Measured;
  const std::size_t residues = partial.ResidueCount();
  for (std::size_t r = 0; r < residues; ++r) {
    const std::size_t node = partial.Residues()[r].Node;
    const std::size_t count = partial.Residues()[r].Count;
    if (partial.BlockLevel(node) > level) {
      const tOwnStats& stats = in_.Open.Stats(node, level, visit);
      for (std::size_t s = 0; s < residues; ++s) {
        costs_[r][s] = measured.LineLength(s) != count ? kNoLineMatch
                       : stats.Count == 0              ? 0
                                                       : stats.SpinOffset[s];
      }
      continue;
    }
    const std::size_t first = partial.FirstCarbon(node);
    const bool parent_known = partial.BlockLevel(partial.Topology().Nodes[node].Parent) <= level;
    const std::size_t own_first = parent_known ? 0 : partial.DependentCarbons(node);
    for (std::size_t s = 0; s < residues; ++s) {
      costs_[r][s] = measured.LineLength(s) != count ? kNoLineMatch
                     : own_first >= count
                         ? 0
                         : tSpectrumScorer::BestOffsetSum(partial.Values() + first + own_first,
                                                          measured.Line(s) + own_first,
                                                          count - own_first);
    }
  }
  if (in_.Measured.LinkCount() > 0) {
    return scorer_.LinkedAssignment(costs_, partial.Residues(), residues, links_.Able(level));
  }
  return scorer_.CheapestAssignment(costs_, residues);
}

void tLinkBound::Prepare() {
  const tPartialStructure& partial = in_.Partial;
  const tTopology& topology = partial.Topology();
  for (std::size_t r = 0; r < partial.ResidueCount(); ++r) {
    for (std::size_t s = 0; s < partial.ResidueCount(); ++s) {
      lengths_[r][s] =
          partial.Residues()[r].Count == in_.Measured.LineLength(s) ? 0 : kNoLineMatch;
    }
  }
  for (std::size_t k = 0; k < in_.Measured.LinkCount(); ++k) {
    const tLineLink& link = in_.Measured.Link(k);
    candidates_[k].clear();
    for (std::size_t r = 0; r < partial.ResidueCount(); ++r) {
      const tResidueShifts& residue = partial.Residues()[r];
      const std::uint8_t parent = topology.Nodes[residue.Node].Parent;
      if (residue.Parent != kNoParentResidue && residue.Parent != r &&
          residue.Count == in_.Measured.LineLength(link.From) &&
          partial.Residues()[residue.Parent].Count == in_.Measured.LineLength(link.To)) {
        candidates_[k].push_back({static_cast<std::uint8_t>(r), parent,
                                  topology.Nodes[parent].FirstChild == residue.Node});
      }
    }
  }
}

tSpectrumScorer::tLinkAbility tLinkBound::Able(std::size_t level) const {
  const tPartialStructure& partial = in_.Partial;
  const tSequenceChoices& choices = partial.Choices();
  tSpectrumScorer::tLinkAbility able{};
  for (std::size_t k = 0; k < in_.Measured.LinkCount(); ++k) {
    const std::uint8_t position = in_.Measured.Link(k).Position;
    for (const tCandidate& c : candidates_[k]) {
      // The positions of the carrier still possible: its choice once fixed, else any.
      bool possible = position == 0;
      const std::size_t variable = choices.PositionsOf(c.Parent);
      const std::vector<tChoice>& options = choices.Options[variable];
      for (std::size_t o = 0; o < options.size() && !possible; ++o) {
        if (partial.Fixed(variable, level) && o != partial.Choice()[variable]) continue;
        possible = (c.FirstChild ? options[o].First : options[o].Second) == position;
      }
      if (possible) able[k] = static_cast<std::uint16_t>(able[k] | (1u << c.Residue));
    }
  }
  return able;
}

std::uint32_t tLinkBound::Bound(std::size_t level, std::uint64_t /*visit*/) {
  const tSpectrumScorer::tLinkAbility able = Able(level);
  for (std::size_t k = 0; k < in_.Measured.LinkCount(); ++k) {
    if (able[k] == 0) return kInfeasibleSum;
  }
  // Each line can be met on its own; all of them together, in one assignment?
  const std::uint32_t together = scorer_.LinkedAssignment(lengths_, in_.Partial.Residues(),
                                                          in_.Partial.ResidueCount(), able, 0);
  return together == 0 ? 0 : kInfeasibleSum;
}

tBoundSet::tBoundSet(const tBoundInputs& in, const tAdditiveBound& additive,
                     tSpectrumScorer& scorer, std::size_t carbon_count)
    : Additive(in, additive),
      Nearest(in),
      Injection(in, Nearest, carbon_count),
      Range(in, carbon_count),
      OffsetRange(in, carbon_count),
      Link(in, scorer),
      Spin(in, scorer, Link),
      SpinOffset(in, scorer, Link),
      in_(in) {}

void tBoundSet::Prepare() {
  if (in_.Measured.LinkCount() > 0) Link.Prepare();
}

void tBoundSet::Advance(std::size_t level) {
  const std::int32_t* values = in_.Partial.Values();
  const std::int32_t* measured = in_.Measured.Sorted();
  const std::int32_t* end = measured + in_.Measured.Size();
  std::int64_t terms = 0;
  std::uint32_t distances = 0;
  for (const std::uint8_t carbon : in_.Partial.Level(level).Carbons) {
    const std::int32_t value = values[carbon];
    terms += Additive.Term(value);
    distances += tNearestShiftBound::Nearest(value, measured, end);
  }
  Additive.Advance(level, terms);
  Nearest.Advance(level, distances);
}

// Cheap bounds first; the incremental figures of the additive and nearest-shift bounds are kept
// for every level, so that the levels below build on them.
bool tBoundSet::Prunes(std::size_t level, std::uint32_t threshold, std::uint64_t visit) {
  Additive.Carry(level);
  Nearest.Carry(level);
  if (in_.Measured.LinkCount() > 0 && Link.Bound(level, visit) == kInfeasibleSum) return true;
  if (level > 0 && in_.Partial.Level(level).Carbons.empty()) return false;  // nothing new
  const bool spin = in_.Measured.SpinSystems();
  if (in_.Measured.AutoOffset()) {
    if (threshold == kNoThreshold) return false;
    if (spin && SpinOffset.Bound(level, visit) > threshold) return true;
    return OffsetRange.Bound(level, visit) > threshold;
  }
  Advance(level);
  if (threshold == kNoThreshold) return false;
  return Additive.Bound(level, visit) > threshold || Nearest.Bound(level, visit) > threshold ||
         Range.Bound(level, visit) > threshold ||
         (spin && Spin.Bound(level, visit) > threshold) ||
         Injection.Bound(level, visit) > threshold;
}

std::uint32_t tBoundSet::Largest(std::size_t level, std::uint64_t visit) {
  const bool spin = in_.Measured.SpinSystems();
  if (in_.Measured.AutoOffset()) {
    return std::max(spin ? SpinOffset.Bound(level, visit) : 0u, OffsetRange.Bound(level, visit));
  }
  return std::max({Additive.Bound(level, visit), Nearest.Bound(level, visit),
                   Range.Bound(level, visit), spin ? Spin.Bound(level, visit) : 0u,
                   Injection.Bound(level, visit)});
}

}  // namespace glycomb
