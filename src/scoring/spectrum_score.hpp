// How a calculated spectrum is scored against the measured one: by the sorted comparison (every
// shift paired by rank) or residue by residue against spin systems (each residue matched to one
// measured line of equal length, carbon by carbon), with a fixed referencing of the measured
// shifts or with the offset that fits each structure best.
#pragma once

#include <array>
#include <cstdint>
#include <limits>
#include <vector>

#include "input/task.hpp"
#include "topology/structure.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The most carbons of one residue.
inline constexpr std::size_t kMaxCarbonsPerLine = 9;

// The automatic referencing offset: whole tenths of a ppm in -kMaxAutoOffset..+kMaxAutoOffset,
// added to every measured shift.
inline constexpr std::int32_t kMaxAutoOffset = 50;

// The score of one structure: the sum of absolute differences in tenths of a ppm, the offset that
// was added to the measured shifts (0 without automatic referencing) and, when scored against spin
// systems, the measured line (1-based, in the order of the task) each node's residue was matched
// to (0 for nodes without carbons).
struct tScore {
  std::uint32_t Sum = 0;
  std::int32_t Offset = 0;
  std::array<std::uint8_t, kMaxResidues> LineOfNode{};
};

// A LINK line as the score reads it: lines 0-based, position 0 for any.
struct tLineLink {
  std::uint8_t From = 0;
  std::uint8_t Position = 0;
  std::uint8_t To = 0;
};

// The measured spectrum as the scores read it, in plain arrays.
class tMeasuredSpectrum {
 public:
  // Takes the task's corrected spectrum (sorted), its spin systems, LINK lines and options.
  explicit tMeasuredSpectrum(const tTask& task);

  bool SpinSystems() const { return spin_systems_; }
  std::size_t LinkCount() const { return link_count_; }
  const tLineLink& Link(std::size_t k) const { return links_[k]; }
  bool AutoOffset() const { return auto_offset_; }
  std::size_t Size() const { return sorted_.size(); }
  const std::int32_t* Sorted() const { return sorted_.data(); }
  std::size_t LineCount() const { return line_count_; }
  std::uint8_t LineLength(std::size_t line) const { return line_length_[line]; }
  const std::int32_t* Line(std::size_t line) const { return values_.data() + line_start_[line]; }

 private:
  bool spin_systems_ = false;
  bool auto_offset_ = false;
  std::vector<std::int32_t> sorted_;
  std::vector<std::int32_t> values_;  // the spin systems one after another
  std::size_t line_count_ = 0;
  std::array<std::uint16_t, kMaxResidues> line_start_{};
  std::array<std::uint8_t, kMaxResidues> line_length_{};
  std::array<tLineLink, kMaxResidues> links_{};  // a spin system is attached by one LINK at most
  std::size_t link_count_ = 0;
};

// Marks a residue that is not attached to one of the residues scored (a phosphate carries it).
inline constexpr std::uint8_t kNoParentResidue = 255;

// The sum of a structure that no assignment meeting the LINK lines scores: it never enters the
// table of the best structures.
inline constexpr std::uint32_t kInfeasibleSum = std::numeric_limits<std::uint32_t>::max();

// The residues of a calculated spectrum: for each, where its carbons start and how many it has;
// for LINK lines also the residue (index among these) it is attached to and at which position.
struct tResidueShifts {
  const std::int32_t* Shifts = nullptr;  // C1 first
  std::uint8_t Count = 0;
  std::uint8_t Node = 0;  // node of the structure, for the assignment
  std::uint8_t Parent = kNoParentResidue;
  std::uint8_t Position = 0;
};

// Fills Parent and Position of `residues`, the carbon-bearing residues of `structure` in node
// order (Node set), from the structure's topology and substitution positions.
void AttachResidues(const tStructure& structure, const tTopology& topology,
                    tResidueShifts* residues, std::size_t count);

// The most values InjectionCost maps.
inline constexpr std::size_t kMaxCarbonsInBound = 255;

// The smallest sum of |a[i] - b[j(i)]| over one-to-one maps of the `a_count` values of `a` into
// the `b_count` values of `b` (both ascending, a_count <= b_count <= kMaxCarbonsInBound): a lower
// bound of the sorted comparison of any spectrum that holds the values of `a`. `work` holds
// 3 x b_count values.
std::uint32_t InjectionCost(const std::int32_t* a, std::size_t a_count, const std::int32_t* b,
                            std::size_t b_count, std::uint32_t* work);

// A lower bound of the sorted comparison that adds up carbon by carbon, so that the shifts of
// a partly built structure bound all its completions: for any potentials on the measured shifts,
// the sum over all carbons of Term(x) plus Constant() never exceeds the sorted comparison. Fitted
// to a calculated spectrum, it equals that spectrum's sorted comparison.
class tAdditiveBound {
 public:
  explicit tAdditiveBound(const tMeasuredSpectrum& measured);

  // Potentials that make the bound exact for `sorted` (ascending, one value per measured shift):
  // the transport potential of the sorted comparison.
  void Fit(const std::int32_t* sorted);

  std::int64_t Constant() const { return constant_; }
  std::int32_t Term(std::int32_t x) const {
    const std::int64_t at = static_cast<std::int64_t>(x) - low_;
    if (at >= 0 && at < static_cast<std::int64_t>(terms_.size())) return terms_[static_cast<std::size_t>(at)];
    return Direct(x);
  }

 private:
  std::int32_t Direct(std::int32_t x) const;
  void Tabulate();

  const tMeasuredSpectrum& measured_;
  std::vector<std::int32_t> potential_;  // by measured shift, ascending
  std::int64_t constant_ = 0;
  std::int32_t low_ = 0;
  std::vector<std::int32_t> terms_;  // Term(low_ + i)
};

// The cost of each residue (row) against each spin system (column); kNoLineMatch where their
// lengths differ.
using tCostMatrix = std::array<std::array<std::uint32_t, kMaxResidues>, kMaxResidues>;
inline constexpr std::uint32_t kNoLineMatch = std::numeric_limits<std::uint32_t>::max() / 4;

// Scores structures against one measured spectrum. Allocates nothing per structure; not shared
// between threads (it keeps scratch space).
class tSpectrumScorer {
 public:
  explicit tSpectrumScorer(const tMeasuredSpectrum& measured);

  const tMeasuredSpectrum& Measured() const { return measured_; }

  // The sorted comparison of `sorted` (the calculated spectrum, ascending, Size() values), with
  // the automatic offset when the task asks for it.
  tScore SortedScore(const std::int32_t* sorted);

  // Residue by residue: `residues` are the carbon-bearing residues of the structure, `count` of
  // them (as many as there are spin systems). `sorted` is the calculated spectrum ascending; it
  // bounds the joint search for the automatic offset. The assignment is the lowest line for the
  // first residue among equal sums, and so on.
  tScore SpinScore(const tResidueShifts* residues, std::size_t count, const std::int32_t* sorted);

  // The score the task asks for: the sorted comparison of `sorted`, or with spin systems the
  // residue-by-residue score of `residues` (the calculated spectrum in carbon order, residue by
  // residue).
  tScore Score(const std::int32_t* sorted, const tResidueShifts* residues, std::size_t count) {
    return measured_.SpinSystems() ? SpinScore(residues, count, sorted) : SortedScore(sorted);
  }

  // The smallest sum of |calculated - measured - offset| over one-to-one assignments of the
  // residues to spin systems of their length that meet every LINK line, for one offset;
  // kNoLineMatch when none does. `bound`: stop and return a value above it as soon as the sum
  // must exceed it.
  std::uint32_t SpinSum(const tResidueShifts* residues, std::size_t count, std::int32_t offset,
                        std::uint32_t bound = std::numeric_limits<std::uint32_t>::max());

  // For each LINK line, the residues (bit r of its mask) that may meet it: attached to a residue
  // of the second spin system's length, the first's length themselves, at the line's position.
  using tLinkAbility = std::array<std::uint16_t, kMaxResidues>;
  tLinkAbility Able(const tResidueShifts* residues, std::size_t count) const;

  // The smallest sum of `costs` over one-to-one assignments that meet every LINK line, line k
  // met by a residue of `able`[k] and the residue it is attached to (their Parent);
  // kNoLineMatch when no assignment does. A value above `bound` as soon as the sum must exceed
  // it.
  std::uint32_t LinkedAssignment(const tCostMatrix& costs, const tResidueShifts* residues,
                                 std::size_t count, const tLinkAbility& able,
                                 std::uint32_t bound = std::numeric_limits<std::uint32_t>::max());

  // The smallest sum of `costs` over one-to-one assignments of the first `count` rows to the
  // first `count` columns; a value above `bound` as soon as the sum must exceed it.
  std::uint32_t CheapestAssignment(const tCostMatrix& costs, std::size_t count,
                                   std::uint32_t bound = std::numeric_limits<std::uint32_t>::max());

  // The sum of |x[k] - y[k] - offset| over `count` values at the offset in the allowed range that
  // makes it smallest.
  static std::uint32_t BestOffsetSum(const std::int32_t* x, const std::int32_t* y, std::size_t count);

  // The sorted comparison's sum for one offset.
  std::uint32_t SortedSum(const std::int32_t* sorted, std::int32_t offset) const;

 private:
  void FillCosts(const tResidueShifts* residues, std::size_t count, std::int32_t offset);
  // The assignment of the least sum under `costs` (the lowest line for the first residue among
  // equal sums, and so on) into `line_of_node`.
  void FillAssignment(const tCostMatrix& matrix, const tResidueShifts* residues, std::size_t count,
                      std::array<std::uint8_t, kMaxResidues>& line_of_node);
  // The line each residue is placed on, or the residue each line takes (255: none placed).
  using tPlaced = std::array<std::uint8_t, kMaxResidues>;
  // The ways the LINK lines can be met: for every LINK line a residue of `able` and the one it is
  // attached to, placed on the line's two spin systems (one combination per call of
  // `visit(line_of, residue_of)`).
  template <class tVisit>
  void ForEachLinking(const tResidueShifts* residues, std::size_t count, const tLinkAbility& able,
                      const tVisit& visit);

  const tMeasuredSpectrum& measured_;
  std::vector<std::int32_t> differences_;
  tCostMatrix cost_{};    // residue r against line s
  tCostMatrix linked_{};  // the same for one way of meeting the LINK lines
  std::vector<std::uint32_t> best_;  // by set of lines used
};

}  // namespace glycomb
