// Internal to the search. The lower bounds that let the descent skip a subtree: each is a function
// of the partial structure at a level that never exceeds the score of any candidate below it.
// docs/search.md argues each of them. Every bound has the same interface (tLowerBound below) so
// that the property test checks each on its own; tBoundSet applies them in order of cost.
#pragma once

#include <algorithm>
#include <array>
#include <concepts>
#include <cstdint>
#include <vector>

#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/internal/open_residues.hpp"
#include "search/internal/partial_structure.hpp"

namespace glycomb {

// What every bound reads; all of it must outlive the bounds.
struct tBoundInputs {
  tPartialStructure& Partial;
  tOpenResidues& Open;
  const tMeasuredSpectrum& Measured;
};

// A lower bound of the score (the sum) of every candidate below the choices up to `level`.
// `visit` numbers the node of the descent (for caches shared by the bounds of one node).
template <class tBound>
concept tLowerBound = requires(tBound bound, std::size_t level, std::uint64_t visit) {
  { bound.Bound(level, visit) } -> std::same_as<std::uint32_t>;
};

// The additive bound of the sorted comparison, fitted to the best spectrum the worker has scored
// so far (a fit makes it exact for that spectrum and close for its neighbours).
class tAdditiveFit {
 public:
  explicit tAdditiveFit(const tMeasuredSpectrum& measured) : bound_(measured) {}
  const tAdditiveBound& Bound() const { return bound_; }
  // A scored spectrum (sorted) and its sum: kept when it is the best so far.
  void Offer(const std::int32_t* sorted, std::size_t count, std::uint32_t sum);
  // Fits the bound to the best spectrum offered since the last fit. Only between sequences: the
  // figures of the open residues are worked out with the bound as it is.
  void Refit();

 private:
  tAdditiveBound bound_;
  std::vector<std::int32_t> reference_;
  std::uint32_t reference_sum_ = kNoThreshold;
  bool refit_ = false;
};

// The sum of the additive terms of the determined carbons and the least terms of the others.
class tAdditiveTermsBound {
 public:
  tAdditiveTermsBound(const tBoundInputs& in, const tAdditiveBound& additive)
      : in_(in), additive_(additive) {}
  void Carry(std::size_t level) { terms_[level] = level == 0 ? 0 : terms_[level - 1]; }
  // After Carry: adds the terms of the values the level determines.
  void Advance(std::size_t level, std::int64_t terms) { terms_[level] += terms; }
  std::int64_t Term(std::int32_t value) const { return additive_.Term(value); }
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);

 private:
  const tBoundInputs& in_;
  const tAdditiveBound& additive_;
  std::array<std::int64_t, kMaxLevels> terms_{};
};

// The cheapest one-to-one map of the determined values into the measured spectrum, taken cheaply:
// the map of the level above plus each new value's distance to its nearest measured shift; and
// what the open residues' own carbons add at least.
class tNearestShiftBound {
 public:
  explicit tNearestShiftBound(const tBoundInputs& in) : in_(in) {}
  void Carry(std::size_t level) { map_[level] = level == 0 ? 0 : map_[level - 1]; }
  // After Carry: adds the distances of the values the level determines.
  void Advance(std::size_t level, std::uint32_t distances) { map_[level] += distances; }
  // The distance of `value` to its nearest shift of the ascending `measured`..`end`.
  static std::uint32_t Nearest(std::int32_t value, const std::int32_t* measured,
                               const std::int32_t* end) {
    const std::int32_t* above = std::lower_bound(measured, end, value);
    std::uint32_t nearest = kNoThreshold;
    if (above != end) nearest = static_cast<std::uint32_t>(*above - value);
    if (above != measured) nearest = std::min(nearest, static_cast<std::uint32_t>(value - above[-1]));
    return nearest;
  }
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);
  // A better figure for the map of the values determined up to `level` (the exact map).
  void Improve(std::size_t level, std::uint32_t map) { map_[level] = map; }

 private:
  const tBoundInputs& in_;
  std::array<std::uint32_t, kMaxLevels> map_{};
};

// The exact cheapest one-to-one map of the determined values, and what the open residues add.
class tInjectionBound {
 public:
  tInjectionBound(const tBoundInputs& in, tNearestShiftBound& nearest, std::size_t carbon_count)
      : in_(in), nearest_(nearest), work_(3 * carbon_count + 2, 0) {}
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);

 private:
  const tBoundInputs& in_;
  tNearestShiftBound& nearest_;
  std::vector<std::uint32_t> work_;
};

// Every carbon matched to one measured shift by rank: the determined ones by their values, the
// others by the ranges of values they can take.
class tRangeItems {
 public:
  tRangeItems(const tBoundInputs& in, std::size_t carbon_count)
      : in_(in), buffer_(4 * carbon_count + 2, 0), chosen_(carbon_count) {}
  // The items in order of their lower ends, widened so that no range lies inside another (which
  // only lowers the costs): item k spans Lows()[k]..Highs()[k] and is matched to the k-th smallest
  // measured shift.
  void Merge(std::size_t level, std::uint64_t visit);
  std::int32_t* Lows() { return buffer_.data(); }
  std::int32_t* Highs() { return buffer_.data() + in_.Measured.Size(); }
  // Room for twice as many values as there are carbons.
  std::int32_t* Scratch() { return buffer_.data() + 2 * in_.Measured.Size(); }

 private:
  const tBoundInputs& in_;
  std::vector<std::int32_t> buffer_;
  std::vector<tRange> chosen_;
};

// The sorted comparison of the items with a fixed referencing.
class tRangeBound {
 public:
  tRangeBound(const tBoundInputs& in, std::size_t carbon_count) : in_(in), items_(in, carbon_count) {}
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);

 private:
  const tBoundInputs& in_;
  tRangeItems items_;
};

// The same with the automatic offset: its least value over the offsets allowed.
class tOffsetRangeBound {
 public:
  tOffsetRangeBound(const tBoundInputs& in, std::size_t carbon_count)
      : in_(in), items_(in, carbon_count) {}
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);

 private:
  const tBoundInputs& in_;
  tRangeItems items_;
};

// The LINK lines: kInfeasibleSum when no candidate below can meet them all (for some LINK line no
// residue of the first spin system's length attached to one of the second's at a position its
// carrier can still take, or no assignment of residues to lines of their lengths meets them
// together), else 0. The descent skips such subtrees whatever the threshold: none of their
// candidates can enter the table. Before, the residues that may still meet each LINK line, for
// the spin bounds.
class tLinkBound {
 public:
  tLinkBound(const tBoundInputs& in, tSpectrumScorer& scorer) : in_(in), scorer_(scorer) {}
  // The residues that can meet each LINK line in the sequence laid out.
  void Prepare();
  // For each LINK line, the residues (bit r: residue r of the partial structure) that may still
  // meet it at `level`.
  tSpectrumScorer::tLinkAbility Able(std::size_t level) const;
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);

 private:
  struct tCandidate {
    std::uint8_t Residue = 0;  // of the partial structure
    std::uint8_t Parent = 0;   // its carrier's node
    bool FirstChild = false;   // carried at the carrier's first position
  };
  const tBoundInputs& in_;
  tSpectrumScorer& scorer_;
  std::array<std::vector<tCandidate>, kMaxResidues> candidates_;  // by LINK line
  tCostMatrix lengths_{};  // 0 where a residue's length is its line's, kNoLineMatch elsewhere
};

// Residue by residue against the spin systems: the determined carbons against each line, the
// others at least what their open blocks give; the cheapest assignment of residues to lines.
class tSpinBound {
 public:
  tSpinBound(const tBoundInputs& in, tSpectrumScorer& scorer, const tLinkBound& links)
      : in_(in), scorer_(scorer), links_(links) {}
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);

 private:
  const tBoundInputs& in_;
  tSpectrumScorer& scorer_;
  const tLinkBound& links_;
  tCostMatrix costs_{};
};

// The same with the automatic offset: every residue and line at the offset that suits that pair
// best, which no common offset beats.
class tSpinOffsetBound {
 public:
  tSpinOffsetBound(const tBoundInputs& in, tSpectrumScorer& scorer, const tLinkBound& links)
      : in_(in), scorer_(scorer), links_(links) {}
  std::uint32_t Bound(std::size_t level, std::uint64_t visit);

 private:
  const tBoundInputs& in_;
  tSpectrumScorer& scorer_;
  const tLinkBound& links_;
  tCostMatrix costs_{};
};

static_assert(tLowerBound<tAdditiveTermsBound> && tLowerBound<tNearestShiftBound> &&
              tLowerBound<tInjectionBound> && tLowerBound<tRangeBound> &&
              tLowerBound<tOffsetRangeBound> && tLowerBound<tSpinBound> &&
              tLowerBound<tSpinOffsetBound> && tLowerBound<tLinkBound>);

// The bounds of one descent, applied in order of cost for the scores the task asks for.
class tBoundSet {
 public:
  tBoundSet(const tBoundInputs& in, const tAdditiveBound& additive, tSpectrumScorer& scorer,
            std::size_t carbon_count);

  // Works out what the bounds need of the sequence laid out, before its descent.
  void Prepare();
  // Whether no candidate below the choices up to `level` can have a sum at or below `threshold`
  // (kNoThreshold: every candidate may matter), or none can enter the table at all. Called for
  // every level of the descent in order, whatever the threshold: it keeps the incremental figures
  // of the levels below.
  bool Prunes(std::size_t level, std::uint32_t threshold, std::uint64_t visit);
  // The largest of the bounds at `level`, after Prunes has returned true there with the same
  // `visit` (the LINK lines aside).
  std::uint32_t Largest(std::size_t level, std::uint64_t visit);

  tAdditiveTermsBound Additive;
  tNearestShiftBound Nearest;
  tInjectionBound Injection;
  tRangeBound Range;
  tOffsetRangeBound OffsetRange;
  tLinkBound Link;
  tSpinBound Spin;
  tSpinOffsetBound SpinOffset;

 private:
  // The incremental figures of the additive and nearest-shift bounds for the level's values.
  void Advance(std::size_t level);

  const tBoundInputs& in_;
};

}  // namespace glycomb
