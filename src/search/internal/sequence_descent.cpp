#include "search/internal/sequence_descent.hpp"

#include <algorithm>

namespace glycomb {

tPruningThreshold::tPruningThreshold(tBestStructures& local,
                                     const std::atomic<std::uint32_t>& committed,
                                     tPeerThresholds& peers, std::size_t self)
    : local_(local), committed_(committed), peers_(peers), self_(self) {}

void tPruningThreshold::BeginPass(std::size_t pass) {
  pass_ = pass;
  local_threshold_ = local_.Threshold();
  Publish();
}

std::uint32_t tPruningThreshold::Current() const {
  std::uint32_t threshold = std::min(local_threshold_, committed_.load(std::memory_order_relaxed));
  for (std::size_t peer = 0; peer < peers_.size(); ++peer) {
    if (peer == self_) continue;
    const std::uint64_t published = peers_[peer].load(std::memory_order_relaxed);
    if ((published >> 32) < pass_) threshold = std::min(threshold, static_cast<std::uint32_t>(published));
  }
  return threshold;
}

void tPruningThreshold::Keep(const tStructure& structure, const tScore& score) {
  if (local_.Holds(structure)) return;
  local_.Keep(structure, score);
  local_threshold_ = local_.Threshold();
  Publish();
}

void tPruningThreshold::Publish() {
  peers_[self_].store((static_cast<std::uint64_t>(pass_) << 32) | local_threshold_,
                      std::memory_order_relaxed);
}

tSequenceDescent::tSequenceDescent(const tTopologyTable& topologies,
                                   const tSpectrumCalculator& calculator,
                                   const tMeasuredSpectrum& measured, tPruningThreshold& threshold,
                                   const std::array<bool, kMaxResidues + 1>& phosphate,
                                   tSequenceOutcomes& resolved)
    : tDescentParts(measured),
      topologies_(topologies),
      calculator_(calculator),
      measured_(measured),
      threshold_(threshold),
      phosphate_(phosphate) {
  resolved_.Store = &resolved;
}

bool tSequenceDescent::Search(tStructureModel& model, const tSequenceChoices& choices,
                              tPassResult& result, const tSequenceKey& key, std::size_t pass) {
  tStructure& structure = model.WorkingStructure;
  structure_ = &structure;
  result_ = &result;
  if (choices.Empty()) return true;
  // The open configurations first, once the worker's table is full: the order of the descent then
  // departs from the order of generation, and the table takes the sequence's candidates only
  // after it, so that its threshold comes from earlier candidates. A table that is not full yet
  // fills best in the order of generation.
  if (!LayOut(model, choices, topologies_[structure.Topology], calculator_, phosphate_,
              threshold_.LocalFull())) {
    result.Failed = true;
    result.Message = blocks_.FirstFailure();
    return false;
  }
  resolved_.Key = &key;
  resolved_.Pass = pass;
  reordered_.First = result.RecordCount();
  reordered_.Ranks.clear();
  if (use_bounds_ && Prune(0)) {
    result.Unrecorded += partial_.LeavesBelow(0);
    return true;
  }
  Descend(0);
  if (partial_.Reordered()) RecordInOrderOfGeneration();
  return true;
}

// The descent met the candidates of the sequence in an order of its own: its records go to the
// pass result, and to the worker's table, in the order of generation. While it ran, the worker's
// table held none of them, so that its threshold came from earlier candidates only.
void tSequenceDescent::RecordInOrderOfGeneration() {
  tPassResult& result = *result_;
  tReordered& r = reordered_;
  const std::size_t count = r.Ranks.size();
  const std::size_t n = structure_->Nodes.size();
  const auto first = static_cast<std::ptrdiff_t>(r.First);
  const auto width = static_cast<std::ptrdiff_t>(n);
  r.Order.resize(count);
  for (std::size_t k = 0; k < count; ++k) r.Order[k] = k;
  std::sort(r.Order.begin(), r.Order.end(),
            [&](std::size_t a, std::size_t b) { return r.Ranks[a] < r.Ranks[b]; });
  // The sequence's records as the descent met them; rewritten below in the order of generation.
  r.Nodes.assign(result.Nodes.begin() + first * width, result.Nodes.end());
  r.Scores.assign(result.Scores.begin() + first, result.Scores.end());
  for (std::size_t k = 0; k < count; ++k) {
    const auto from = static_cast<std::ptrdiff_t>(r.Order[k]);
    const auto to = first + static_cast<std::ptrdiff_t>(k);
    std::copy_n(r.Nodes.begin() + from * width, n, result.Nodes.begin() + to * width);
    result.Scores[static_cast<std::size_t>(to)] = r.Scores[r.Order[k]];
    std::copy_n(r.Nodes.begin() + from * width, n, structure_->Nodes.begin());
    threshold_.Keep(*structure_, r.Scores[r.Order[k]]);
  }
}

bool tSequenceDescent::Prune(std::size_t level) {
  ++visit_;
  return bounds_.Prunes(level, threshold_.Current(), visit_);
}

void tSequenceDescent::Descend(std::size_t level) {
  if (level == partial_.Variables()) {
    Leaf();
    return;
  }
  const std::size_t variable = partial_.VariableAt(level);
  const std::size_t count = partial_.Choices().Count(variable);
  const bool bound_here = use_bounds_ && level + 1 < partial_.Variables();
  for (std::size_t option = 0; option < count; ++option) {
    partial_.Choose(variable, option);
    partial_.Determine(level + 1);
    if (bound_here && Prune(level + 1)) {
      result_->Unrecorded += partial_.LeavesBelow(level + 1);
      continue;
    }
    if (!partial_.Level(level + 1).Merged) partial_.MergeSorted(level + 1);
    if (bound_here && level + 1 == partial_.ConfigurationLevels()) {
      DescendResolved(level + 1);
    } else {
      Descend(level + 1);
    }
  }
}

// With every open configuration chosen, the candidates below are those of the sequence with these
// configurations given, in the same order: an earlier sequence that is the same with them given
// has already searched them (docs/search.md, section 3).
void tSequenceDescent::DescendResolved(std::size_t level) {
  const tSequenceKey key = ResolvedKey(*resolved_.Key, partial_.Choices(), partial_.Choice());
  if (const auto known = resolved_.Store->Find(key, resolved_.Pass)) {
    Replay(*known);
    return;
  }
  const std::int64_t unrecorded = result_->Unrecorded;
  const std::size_t records = result_->RecordCount();
  Descend(level);
  resolved_.Store->Store(key, resolved_.Pass,
                         OutcomeSince(*result_, records, unrecorded, structure_->Nodes.size()));
}

// The records of the equivalent subtree with this sequence's entries, ranked for the order of
// generation; those it skipped stay skipped (the threshold has only come down since).
void tSequenceDescent::Replay(const tSequenceOutcome& outcome) {
  result_->Unrecorded += outcome.Unrecorded;
  for (std::size_t r = 0; r < outcome.Scores.size(); ++r) {
    ApplyRecord(outcome, r, *structure_);
    result_->Record(*structure_, outcome.Scores[r]);
    reordered_.Ranks.push_back(partial_.GenerationRank(*structure_));
  }
}

void tSequenceDescent::Leaf() {
  ++scored_;
  const std::uint32_t threshold = threshold_.Current();
  const std::int32_t* sorted = partial_.Level(partial_.Variables()).Sorted.data();
  if (measured_.SpinSystems() && threshold != kNoThreshold) {
    // The sorted comparison never exceeds the residue-matched sum, nor does the residue-matched
    // sum with an offset of its own for every residue: both bound the exact score cheaply.
    if (scorer_.SortedScore(sorted).Sum > threshold ||
        (measured_.AutoOffset() &&
         bounds_.SpinOffset.Bound(partial_.Variables(), ++visit_) > threshold)) {
      ++result_->Unrecorded;
      return;
    }
  }
  if (measured_.LinkCount() > 0) {
    // The LINK lines ask which residue is attached where: the candidate's positions.
    ApplyChoices();
    partial_.Attach(*structure_);
  }
  const tScore score = scorer_.Score(sorted, partial_.Residues(), partial_.ResidueCount());
  if (score.Sum > threshold) {
    ++result_->Unrecorded;
    return;
  }
  // A better fit for the additive bound, from the next sequence on.
  if (!measured_.AutoOffset()) fit_.Offer(sorted, measured_.Size(), score.Sum);
  Record(score);
}

void tSequenceDescent::ApplyChoices() {
  const tSequenceChoices& choices = partial_.Choices();
  for (std::size_t v = 0; v < choices.Variables(); ++v) {
    choices.Apply(v, partial_.Choice()[v], *structure_);
  }
}

void tSequenceDescent::Record(const tScore& score) {
  ApplyChoices();
  result_->Record(*structure_, score);
  if (partial_.Reordered()) {
    reordered_.Ranks.push_back(partial_.GenerationRank());
    return;
  }
  threshold_.Keep(*structure_, score);
}

}  // namespace glycomb
