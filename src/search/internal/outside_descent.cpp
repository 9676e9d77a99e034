#include "search/internal/outside_descent.hpp"

#include <algorithm>
#include <cmath>

#include "console/checked.hpp"

namespace glycomb {

tOutsideDescent::tOutsideDescent(const tTopologyTable& topologies,
                                 const tSpectrumCalculator& calculator,
                                 const tMeasuredSpectrum& measured, const tBestStructures& best,
                                 const tOutsideRule& rule,
                                 const std::array<bool, kMaxResidues + 1>& phosphate)
    : tDescentParts(measured),
      topologies_(topologies),
      calculator_(calculator),
      measured_(measured),
      best_(best),
      rule_(rule),
      phosphate_(phosphate) {}

double tOutsideDescent::Weight(tStructureModel& model, const tSequenceChoices& choices) {
  weight_ = 0;
  structure_ = &model.WorkingStructure;
  if (choices.Empty()) return weight_;
  // The search has calculated every block of every sequence before it could end with a table.
  // The order of the variables changes nothing in a sum over all candidates; the open
  // configurations first sharpen the bounds.
  if (!LayOut(model, choices, topologies_[structure_->Topology], calculator_, phosphate_, true)) {
    CheckFailed("range check error: a block of a searched sequence");
  }
  // count * exp(-(L - Best) / Scale) <= Negligible when L exceeds the level's cut; never below
  // the worst kept sum, where the table's own candidates lie.
  for (std::size_t level = 0; level <= partial_.Variables(); ++level) {
    const double margin =
        rule_.Scale * std::log(static_cast<double>(partial_.LeavesBelow(level)) / rule_.Negligible);
    cuts_[level] = static_cast<std::uint32_t>(std::clamp<double>(
        std::ceil(rule_.Best + margin), rule_.Worst, static_cast<double>(kNoThreshold - 1)));
  }
  if (!Leaves(0)) Descend(0);
  return weight_;
}

bool tOutsideDescent::Leaves(std::size_t level) {
  ++visit_;
  if (measured_.LinkCount() > 0 && bounds_.Link.Bound(level, visit_) == kInfeasibleSum) return true;
  if (!bounds_.Prunes(level, cuts_[level], visit_)) return false;
  Add(partial_.LeavesBelow(level), bounds_.Largest(level, visit_));
  return true;
}

void tOutsideDescent::Descend(std::size_t level) {
  if (level == partial_.Variables()) {
    Leaf();
    return;
  }
  const std::size_t variable = partial_.VariableAt(level);
  const std::size_t count = partial_.Choices().Count(variable);
  const bool bound_here = level + 1 < partial_.Variables();
  for (std::size_t option = 0; option < count; ++option) {
    partial_.Choose(variable, option);
    partial_.Determine(level + 1);
    if (bound_here && Leaves(level + 1)) continue;
    if (!partial_.Level(level + 1).Merged) partial_.MergeSorted(level + 1);
    Descend(level + 1);
  }
}

void tOutsideDescent::Leaf() {
  const std::int32_t* sorted = partial_.Level(partial_.Variables()).Sorted.data();
  if (measured_.SpinSystems()) {
    // The two cheap figures of the search, which never exceed the exact score: well above the
    // table they weigh in its place (the exact assignment costs far more).
    std::uint32_t cheap = scorer_.SortedScore(sorted).Sum;
    if (measured_.AutoOffset()) {
      cheap = std::max(cheap, bounds_.SpinOffset.Bound(partial_.Variables(), ++visit_));
    }
    if (cheap > rule_.Worst + rule_.Scale) {
      Add(1, cheap);
      return;
    }
  }
  // A kept structure (or another written form of a kept polymer) is in the list.
  ApplyChoices();
  if (best_.Holds(*structure_)) return;
  if (measured_.LinkCount() > 0) partial_.Attach(*structure_);
  const tScore score = scorer_.Score(sorted, partial_.Residues(), partial_.ResidueCount());
  if (score.Sum != kInfeasibleSum) Add(1, score.Sum);
}

void tOutsideDescent::Add(std::int64_t candidates, std::uint32_t sum) {
  weight_ += static_cast<double>(candidates) *
             std::exp(-(static_cast<double>(sum) - rule_.Best) / rule_.Scale);
}

void tOutsideDescent::ApplyChoices() {
  const tSequenceChoices& choices = partial_.Choices();
  for (std::size_t v = 0; v < choices.Variables(); ++v) {
    choices.Apply(v, partial_.Choice()[v], *structure_);
  }
}

}  // namespace glycomb
