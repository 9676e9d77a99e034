#include "search/pruned_search.hpp"

#include <algorithm>

#include "console/checked.hpp"
#include "console/console.hpp"

namespace glycomb {
namespace {

// Ends a pass early: after a stop request, or when a candidate cannot be calculated.
struct EPassEnded {};

// Insertion sort, for the few values of a residue or two.
void SortFew(std::int32_t* values, std::size_t count) {
  for (std::size_t i = 1; i < count; ++i) {
    const std::int32_t value = values[i];
    std::size_t at = i;
    for (; at > 0 && values[at - 1] > value; --at) values[at] = values[at - 1];
    values[at] = value;
  }
}

// How far `value` lies outside [low, high].
inline std::uint32_t DistanceOutside(std::int32_t value, std::int32_t low, std::int32_t high) {
  return value < low ? static_cast<std::uint32_t>(low - value)
         : value > high ? static_cast<std::uint32_t>(value - high)
                        : 0u;
}

}  // namespace

void tPassResult::Clear() {
  Topologies.clear();
  Nodes.clear();
  Scores.clear();
  Unrecorded = 0;
  Failed = false;
  Message.clear();
  Stopped = false;
}

std::int64_t MergePassResult(const tPassResult& result, tBestStructures& best,
                             tStructure& candidate) {
  const std::size_t n = candidate.Nodes.size();
  std::int64_t checked = result.Unrecorded;
  for (std::size_t r = 0; r < result.RecordCount(); ++r) {
    candidate.Topology = result.Topologies[r];
    std::copy_n(result.Nodes.begin() + static_cast<std::ptrdiff_t>(r * n), n,
                candidate.Nodes.begin());
    if (best.Holds(candidate)) continue;
    checked = CheckedAdd<std::int64_t>(checked, 1);
    best.Keep(candidate, result.Scores[r]);
  }
  return checked;
}

tPrunedSearch::tPrunedSearch(const tTask& task, const tResidueTable& residues,
                             const tTopologyTable& topologies, tStructureModel& model,
                             tSpectrumCalculator& calculator, tBestStructures& local,
                             const std::atomic<std::uint32_t>& committed,
                             tSearchProgress& progress,
                             const std::atomic<std::size_t>& end_pass,
                             tSequenceOutcomes& outcomes, tPeerThresholds& peers,
                             std::size_t self)
    : tStructureSearch(task, residues, topologies, model, calculator, local),
      calculator_(calculator),
      scorer_(calculator.Measured()),
      local_(local),
      committed_(committed),
      progress_(progress),
      end_pass_(end_pass),
      outcomes_(outcomes),
      peers_(peers),
      self_(self),
      additive_(calculator.Measured()) {
  const std::size_t carbons = task.Spectrum.size();
  values_.assign(carbons, 0);
  node_of_carbon_.assign(carbons, 0);
  work_.assign(3 * carbons + 2, 0);
  for (auto& level : sorted_) level.assign(carbons, 0);
  for (auto& level : carbons_at_) level.reserve(carbons);
  breakpoints_.assign(4 * carbons + 2, 0);
  chosen_.assign(carbons, tRange{});
}

void tPrunedSearch::SearchPass(std::size_t pass, std::uint8_t topology, std::uint8_t start_node,
                               tPassResult& result) {
  result.Clear();
  result_ = &result;
  pass_ = pass;
  model_.WorkingStructure.Topology = topology;
  local_threshold_ = local_.Threshold();
  Publish();
  try {
    SearchFromStartNode(start_node);
  } catch (const EPassEnded&) {
  }
  result_ = nullptr;
}

void tPrunedSearch::ShowSequenceProgress() {
  if (!progress_.SequenceDone()) Stop();
}

bool tPrunedSearch::KeepGoing() const { return RunFlag.load() && pass_ < end_pass_.load(); }

void tPrunedSearch::Stop() {
  result_->Stopped = true;
  throw EPassEnded{};
}

std::uint32_t tPrunedSearch::Threshold() const {
  std::uint32_t threshold = std::min(local_threshold_, committed_.load(std::memory_order_relaxed));
  for (std::size_t peer = 0; peer < peers_.size(); ++peer) {
    if (peer == self_) continue;
    const std::uint64_t published = peers_[peer].load(std::memory_order_relaxed);
    if ((published >> 32) < pass_) {
      threshold = std::min(threshold, static_cast<std::uint32_t>(published));
    }
  }
  return threshold;
}

void tPrunedSearch::Publish() {
  peers_[self_].store((static_cast<std::uint64_t>(pass_) << 32) | local_threshold_,
                      std::memory_order_relaxed);
}

// The choices of every node in the order the literal enumeration makes them.
void tPrunedSearch::BuildOptions() {
  const tTopology& topology = At(topologies_, model_.WorkingStructure.Topology);
  for (std::size_t i = 0; i < n_; ++i) {
    const std::uint8_t entry = model_.WorkingStructure.Nodes[i].Residue;
    const tEntryFacts& facts = At(entries_, entry);
    const tTopologyNode& links = topology.Nodes[i];
    std::vector<tOption>& positions = options_[i];
    positions.clear();
    switch (links.ChildCount) {
      case 0:
        if (LinkageAllowed(entry, 0, 0)) positions.push_back({0, 0});
        break;
      case 1:
        for (std::uint8_t p = 2; p <= facts.HighestPosition; ++p) {
          if (Suits(p, entry, links.FirstChild) && LinkageAllowed(entry, p, 0)) {
            positions.push_back({p, 0});
          }
        }
        break;
      default:
        for (std::uint8_t p1 = 2; p1 <= facts.CarbonCount; ++p1) {
          if (!Suits(p1, entry, links.FirstChild)) continue;
          for (std::uint8_t p2 = 2; p2 <= facts.CarbonCount; ++p2) {
            if (p2 != p1 && Suits(p2, entry, links.SecondChild) && LinkageAllowed(entry, p1, p2)) {
              positions.push_back({p1, p2});
            }
          }
        }
        break;
    }
    std::vector<tOption>& configurations = options_[n_ + i];
    configurations.clear();
    const tTaskResidue& composition = task_.Residues[entry];
    std::uint8_t anomeric[2];
    std::size_t anomeric_count = 0;
    if (composition.Anomeric == kAnomericBeta) {
      anomeric[anomeric_count++] = 1;
    } else if (composition.Anomeric == kAnomericUnknown && facts.RingKind < kAlditol) {
      anomeric[anomeric_count++] = 1;  // beta before alpha
      anomeric[anomeric_count++] = 0;
    } else {
      anomeric[anomeric_count++] = 0;
    }
    for (std::size_t a = 0; a < anomeric_count; ++a) {
      if (composition.Absolute != kAbsoluteL) configurations.push_back({anomeric[a], 0});
      if (composition.Absolute != kAbsoluteD) configurations.push_back({anomeric[a], 1});
    }
  }
  variables_ = 2 * n_;
}

// A block depends on the node's positions and on the configurations of the node and of its
// children; its index counts those choices in that order.
std::size_t tPrunedSearch::BlockIndex(std::size_t node) const {
  const tTopologyNode& links = topologies_[model_.WorkingStructure.Topology].Nodes[node];
  std::size_t index = choice_[node];
  index = index * options_[n_ + node].size() + choice_[n_ + node];
  for (const std::uint8_t child : {links.FirstChild, links.SecondChild}) {
    if (child == kNoChild || child == node) continue;
    index = index * options_[n_ + child].size() + choice_[n_ + child];
  }
  return index;
}

bool tPrunedSearch::BuildBlocks() {
  const tTopology& topology = At(topologies_, model_.WorkingStructure.Topology);
  tStructure& structure = model_.WorkingStructure;
  failures_.clear();
  bool all_calculated = true;
  for (std::size_t i = 0; i < n_; ++i) {
    const tTopologyNode& links = topology.Nodes[i];
    std::array<std::uint8_t, 3> nodes{static_cast<std::uint8_t>(i), 0, 0};
    std::size_t count = 1;
    for (const std::uint8_t child : {links.FirstChild, links.SecondChild}) {
      if (child != kNoChild && child != i) nodes[count++] = child;
    }
    std::size_t size = options_[i].size();
    for (std::size_t k = 0; k < count; ++k) size *= options_[n_ + nodes[k]].size();
    std::vector<tResidueBlock>& blocks = blocks_[i];
    std::vector<std::int32_t>& failed = block_failure_[i];
    blocks.resize(size);
    failed.assign(size, -1);
    for (std::size_t index = 0; index < size; ++index) {
      std::size_t rest = index;
      for (std::size_t k = count; k-- > 0;) {
        const std::vector<tOption>& configurations = options_[n_ + nodes[k]];
        const tOption& option = configurations[rest % configurations.size()];
        rest /= configurations.size();
        structure.Nodes[nodes[k]].Anomeric = option.First;
        structure.Nodes[nodes[k]].Absolute = option.Second;
      }
      structure.Nodes[i].Subst1 = options_[i][rest].First;
      structure.Nodes[i].Subst2 = options_[i][rest].Second;
      std::string message;
      if (!calculator_.TryResidueBlock(structure, i, blocks[index], message)) {
        failed[index] = static_cast<std::int32_t>(failures_.size());
        failures_.push_back(std::move(message));
        all_calculated = false;
      }
    }
  }
  return all_calculated;
}

// The literal enumeration would calculate candidates in order until the first one that uses a
// block that cannot be calculated (such a candidate is never a duplicate of a kept one, whose
// blocks all exist); its first such node, in node order, gives the message.
void tPrunedSearch::ReportFirstFailure() {
  const auto can_fail = [&](std::size_t fixed) {
    // Whether some node has a failing block that agrees with the first `fixed` choices.
    for (std::size_t i = 0; i < n_; ++i) {
      const std::array<std::uint8_t, 2 * kMaxResidues> saved = choice_;
      const std::vector<std::int32_t>& failed = block_failure_[i];
      bool found = false;
      // Enumerate the blocks of node i and compare the choices they encode with the fixed ones.
      const tTopologyNode& links = topologies_[model_.WorkingStructure.Topology].Nodes[i];
      std::array<std::size_t, 4> variables{i, n_ + i, 0, 0};
      std::size_t count = 2;
      for (const std::uint8_t child : {links.FirstChild, links.SecondChild}) {
        if (child != kNoChild && child != i) variables[count++] = n_ + child;
      }
      for (std::size_t index = 0; index < failed.size() && !found; ++index) {
        if (failed[index] < 0) continue;
        std::size_t rest = index;
        bool agrees = true;
        for (std::size_t k = count; k-- > 0;) {
          const std::size_t size = options_[variables[k]].size();
          const std::size_t option = rest % size;
          rest /= size;
          if (variables[k] < fixed && choice_[variables[k]] != option) agrees = false;
        }
        found = agrees;
      }
      choice_ = saved;
      if (found) return true;
    }
    return false;
  };
  for (std::size_t variable = 0; variable < variables_; ++variable) {
    for (choice_[variable] = 0; choice_[variable] < options_[variable].size(); ++choice_[variable]) {
      if (can_fail(variable + 1)) break;
    }
  }
  for (std::size_t i = 0; i < n_; ++i) {
    const std::int32_t failure = block_failure_[i][BlockIndex(i)];
    if (failure >= 0) {
      result_->Failed = true;
      result_->Message = failures_[static_cast<std::size_t>(failure)];
      return;
    }
  }
  CheckFailed("range check error: no failing candidate found");
}

std::shared_ptr<const tSequenceOutcome> tSequenceOutcomes::Find(const tSequenceKey& key,
                                                                std::size_t pass) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto known = known_.find(key);
  if (known == known_.end() || known->second.first > pass) return nullptr;
  return known->second.second;
}

void tSequenceOutcomes::Store(const tSequenceKey& key, std::size_t pass,
                              std::shared_ptr<const tSequenceOutcome> outcome) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& known = known_[key];
  // An earlier pass's outcome serves more passes.
  if (known.second == nullptr || pass < known.first) known = {pass, std::move(outcome)};
}

tSequenceKey tPrunedSearch::SequenceKey() const {
  tSequenceKey key{};
  key[0] = model_.WorkingStructure.Topology;
  for (std::size_t i = 0; i < n_; ++i) {
    const tTaskResidue& entry = task_.Residues[model_.WorkingStructure.Nodes[i].Residue];
    std::uint8_t* at = key.data() + 1 + 5 * i;
    at[0] = entry.NameIndex;
    at[1] = entry.Anomeric;
    at[2] = entry.Absolute;
    at[3] = entry.Subst1;
    at[4] = entry.Subst2;
  }
  return key;
}

// The candidates of an equivalent sequence, with this sequence's entries at the nodes. Those it
// skipped stay skipped: the threshold has only come down since.
void tPrunedSearch::Replay(const tSequenceOutcome& outcome) {
  result_->Unrecorded += outcome.Unrecorded;
  tStructure& structure = model_.WorkingStructure;
  for (std::size_t r = 0; r < outcome.Scores.size(); ++r) {
    for (std::size_t i = 0; i < n_; ++i) {
      const tStructureNode& node = outcome.Nodes[r * n_ + i];
      structure.Nodes[i] = {structure.Nodes[i].Residue, node.Anomeric, node.Absolute, node.Subst1,
                            node.Subst2};
    }
    result_->Topologies.push_back(structure.Topology);
    result_->Nodes.insert(result_->Nodes.end(), structure.Nodes.begin(), structure.Nodes.end());
    result_->Scores.push_back(outcome.Scores[r]);
    if (!local_.Holds(structure)) {
      local_.Keep(structure, outcome.Scores[r]);
      local_threshold_ = local_.Threshold();
      Publish();
    }
  }
}

void tPrunedSearch::SearchSequence() {
  const tSequenceKey key = SequenceKey();
  if (const auto known = outcomes_.Find(key, pass_)) {
    Replay(*known);
    return;
  }
  const std::int64_t unrecorded = result_->Unrecorded;
  const std::size_t records = result_->Scores.size();
  SearchNewSequence();
  auto outcome = std::make_shared<tSequenceOutcome>();
  outcome->Unrecorded = result_->Unrecorded - unrecorded;
  outcome->Nodes.assign(result_->Nodes.begin() + static_cast<std::ptrdiff_t>(records * n_),
                        result_->Nodes.end());
  outcome->Scores.assign(result_->Scores.begin() + static_cast<std::ptrdiff_t>(records),
                         result_->Scores.end());
  outcomes_.Store(key, pass_, std::move(outcome));
}

void tPrunedSearch::SearchNewSequence() {
  BuildCarbonOffsets(model_, task_, residues_);
  BuildOptions();
  for (std::size_t i = 0; i < n_; ++i) {
    if (options_[i].empty()) return;  // no choice of positions: the sequence gives nothing
  }
  leaves_below_[variables_] = 1;
  for (std::size_t v = variables_; v-- > 0;) {
    leaves_below_[v] = CheckedMul<std::int64_t>(leaves_below_[v + 1],
                                                static_cast<std::int64_t>(options_[v].size()));
  }
  choice_.fill(0);
  if (!BuildBlocks()) {
    ReportFirstFailure();
    throw EPassEnded{};
  }

  // The level of a variable is the number of variables fixed once it is; one that has a single
  // choice is fixed from the start.
  const auto level_of = [&](std::size_t variable) -> std::int32_t {
    return options_[variable].size() > 1 ? static_cast<std::int32_t>(variable + 1) : 0;
  };
  const tTopology& topology = topologies_[model_.WorkingStructure.Topology];
  for (std::size_t i = 0; i < n_; ++i) {
    const tTopologyNode& links = topology.Nodes[i];
    std::int32_t level = std::max(level_of(i), level_of(n_ + i));
    for (const std::uint8_t child : {links.FirstChild, links.SecondChild}) {
      if (child != kNoChild) level = std::max(level, level_of(n_ + child));
    }
    block_level_[i] = level;
  }
  for (auto& carbons : carbons_at_) carbons.clear();
  for (auto& nodes : blocks_at_) nodes.clear();
  for (std::size_t i = 0; i < n_; ++i) {
    blocks_at_[static_cast<std::size_t>(block_level_[i])].push_back(static_cast<std::uint8_t>(i));
  }
  residue_count_ = 0;
  for (std::size_t i = 0; i < n_; ++i) {
    const std::size_t first = model_.CarbonOffsets[i];
    const std::size_t count = model_.CarbonOffsets[i + 1] - first;
    const std::uint8_t parent = topology.Nodes[i].Parent;
    const bool phosphate_parent =
        At(entries_, model_.WorkingStructure.Nodes[parent].Residue).IsPhosphate;
    phosphate_parent_[i] = phosphate_parent;
    for (std::size_t k = 0; k < count; ++k) {
      std::int32_t level = block_level_[i];
      // C1 takes what the parent hands on, and so does C2 from a phosphate.
      if (k == 0 || (k == 1 && phosphate_parent)) level = std::max(level, block_level_[parent]);
      carbons_at_[static_cast<std::size_t>(level)].push_back(static_cast<std::uint8_t>(first + k));
      node_of_carbon_[first + k] = static_cast<std::uint8_t>(i);
    }
    if (count > 0) {
      residues_shifts_[residue_count_++] = {values_.data() + first,
                                            static_cast<std::uint8_t>(count),
                                            static_cast<std::uint8_t>(i)};
    }
  }
  if (refit_) {
    additive_.Fit(reference_.data());
    refit_ = false;
  }
  PrepareBounds();
  sorted_count_[0] = 0;
  Determine(0);
  MergeSorted(0);
  bound_[0] = 0;
  if (bounds_ && Prune(0)) {
    result_->Unrecorded += leaves_below_[0];
    return;
  }
  Descend(0);
}

// What the carbons of each residue add at least to each bound while its block is not
// determined: its own carbons over all its blocks, and over the blocks of each choice of its
// positions (when its positions are fixed but a configuration it depends on is not); a carbon
// that its parent changes, over its blocks and what the parent's blocks hand on.
void tPrunedSearch::PrepareBounds() {
  const tTopology& topology = topologies_[model_.WorkingStructure.Topology];
  const tMeasuredSpectrum& measured = scorer_.Measured();
  std::array<std::array<std::int64_t, 2>, kMaxResidues> dependent{};
  std::vector<tRange>& ranges = ranges_;
  ranges.resize(values_.size());
  for (std::size_t i = 0; i < n_; ++i) {
    const std::size_t first = model_.CarbonOffsets[i];
    const std::size_t count = model_.CarbonOffsets[i + 1] - first;
    const std::size_t own_first = phosphate_parent_[i] ? 2 : 1;
    const std::size_t own_count = count > own_first ? count - own_first : 0;
    // Own carbons: all blocks, and the blocks of each choice of positions (contiguous in the
    // block table, the positions being its outermost index).
    const std::size_t per_choice = blocks_[i].size() / options_[i].size();
    tOwnStats empty;
    empty.Count = static_cast<std::uint8_t>(own_count);
    empty.Terms = std::numeric_limits<std::int64_t>::max();
    empty.Cost = kNoThreshold;
    empty.Ranges.fill({std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()});
    empty.Spin.fill(kNoLineMatch);
    empty.SpinOffset.fill(kNoLineMatch);
    own_all_[i] = empty;
    own_by_choice_[i].assign(options_[i].size(), empty);
    block_stats_[i].assign(blocks_[i].size(), empty);
    for (std::size_t b = 0; b < blocks_[i].size(); ++b) {
      const tResidueBlock& block = blocks_[i][b];
      tOwnStats& of_choice = own_by_choice_[i][b / per_choice];
      tOwnStats& of_block = block_stats_[i][b];
      std::int32_t values[kMaxCarbons];
      std::copy_n(block.Shifts.begin() + static_cast<std::ptrdiff_t>(own_first), own_count, values);
      std::int64_t terms = 0;
      for (std::size_t q = 0; q < own_count; ++q) terms += additive_.Term(values[q]);
      SortFew(values, own_count);
      const std::uint32_t cost = measured.AutoOffset()
                                     ? 0
                                     : InjectionCost(values, own_count, measured.Sorted(),
                                                     measured.Size(), work_.data());
      for (tOwnStats* stats : {&own_all_[i], &of_choice, &of_block}) {
        stats->Terms = std::min(stats->Terms, terms);
        stats->Cost = std::min(stats->Cost, cost);
        // The sorted comparison sees the residue's own carbons only as a set of values: the
        // smallest of them lies between the least and the greatest smallest value over the
        // blocks, and so on; much narrower ranges than those of each carbon.
        for (std::size_t q = 0; q < own_count; ++q) {
          stats->Ranges[q].Low = std::min(stats->Ranges[q].Low, values[q]);
          stats->Ranges[q].High = std::max(stats->Ranges[q].High, values[q]);
        }
      }
      if (!measured.SpinSystems() || count == 0) continue;
      for (std::size_t s = 0; s < measured.LineCount(); ++s) {
        if (measured.LineLength(s) != count) continue;
        const std::int32_t* line = measured.Line(s);
        std::uint32_t sum = 0;
        for (std::size_t k = own_first; k < count; ++k) {
          const std::int32_t difference = block.Shifts[k] - line[k];
          sum += static_cast<std::uint32_t>(difference < 0 ? -difference : difference);
        }
        const std::uint32_t with_offset =
            measured.AutoOffset() && own_count > 0
                ? tSpectrumScorer::BestOffsetSum(block.Shifts.data() + own_first, line + own_first,
                                                 own_count)
                : 0;
        for (tOwnStats* stats : {&own_all_[i], &of_choice, &of_block}) {
          stats->Spin[s] = std::min(stats->Spin[s], sum);
          stats->SpinOffset[s] = std::min(stats->SpinOffset[s], with_offset);
        }
      }
    }
    // The carbons the parent changes: ranges over the blocks and what the parent hands on, and
    // the least additive term.
    const std::uint8_t parent = topology.Nodes[i].Parent;
    const tTopologyNode& links = topology.Nodes[parent];
    for (std::size_t k = 0; k < std::min<std::size_t>(count, own_first); ++k) {
      std::int32_t handed[64];
      std::size_t handed_count = 0;
      bool overflow = false;
      for (const tResidueBlock& from : blocks_[parent]) {
        const std::int32_t value = links.FirstChild == i ? (k == 0 ? from.FirstChildC1 : from.FirstChildC2)
                                   : k == 0          ? from.SecondChildC1
                                                     : 0;
        if (std::find(handed, handed + handed_count, value) != handed + handed_count) continue;
        if (handed_count == 64) {
          overflow = true;
          break;
        }
        handed[handed_count++] = value;
      }
      tRange& range = ranges[first + k];
      range = {std::numeric_limits<std::int32_t>::max(), std::numeric_limits<std::int32_t>::min()};
      std::int64_t least = std::numeric_limits<std::int64_t>::max();
      for (const tResidueBlock& block : blocks_[i]) {
        for (std::size_t h = 0; h < handed_count; ++h) {
          const std::int32_t value = block.Shifts[k] + handed[h];
          range.Low = std::min(range.Low, value);
          range.High = std::max(range.High, value);
          least = std::min<std::int64_t>(least, additive_.Term(value));
        }
      }
      // Too many values handed on: no term from this carbon, and any value in range.
      if (overflow) {
        least = std::numeric_limits<std::int64_t>::min() / 4;
        range = {std::numeric_limits<std::int32_t>::min() / 2, std::numeric_limits<std::int32_t>::max() / 2};
      }
      dependent[i][k] = least;
    }
  }

  // Per level: the residues whose blocks are open, split into those whose positions are fixed
  // (taken per choice while searching) and the others (summed here once).
  const auto positions_fixed = [&](std::size_t node, std::size_t level) {
    return options_[node].size() <= 1 || node + 1 <= level;
  };
  for (std::size_t level = 0; level <= variables_; ++level) {
    std::int64_t terms = 0;
    std::uint32_t cost = 0;
    std::vector<tRange>& open = open_ranges_[level];
    open.clear();
    choice_known_[level].clear();
    for (std::size_t i = 0; i < n_; ++i) {
      if (block_level_[i] <= static_cast<std::int32_t>(level)) continue;
      if (positions_fixed(i, level)) {
        choice_known_[level].push_back(static_cast<std::uint8_t>(i));
        continue;
      }
      terms += own_all_[i].Terms;
      cost += own_all_[i].Cost;
      open.insert(open.end(), own_all_[i].Ranges.begin(), own_all_[i].Ranges.begin() + own_all_[i].Count);
    }
    for (std::size_t l = level + 1; l <= variables_; ++l) {
      for (const std::uint8_t carbon : carbons_at_[l]) {
        const std::size_t node = node_of_carbon_[carbon];
        const std::size_t k = carbon - model_.CarbonOffsets[node];
        if (k == 0 || (k == 1 && phosphate_parent_[node])) {
          terms += dependent[node][k];
          open.push_back(ranges[carbon]);
        }
      }
    }
    std::sort(open.begin(), open.end(),
              [](const tRange& a, const tRange& b) { return a.Low < b.Low; });
    open_terms_[level] = terms;
    undetermined_[level] = cost;
  }

  // With spin systems: the distance of each line to the ranges of the carbons a residue's
  // parent changes.
  if (!measured.SpinSystems()) return;
  for (std::size_t r = 0; r < residue_count_; ++r) {
    const std::size_t node = residues_shifts_[r].Node;
    const std::size_t first = model_.CarbonOffsets[node];
    const std::size_t count = residues_shifts_[r].Count;
    for (std::size_t s = 0; s < residue_count_; ++s) {
      std::uint32_t& distance = dependent_spin_[r][s];
      distance = 0;
      if (measured.LineLength(s) != count) continue;
      const std::int32_t* line = measured.Line(s);
      for (std::size_t k = 0; k < std::min<std::size_t>(count, phosphate_parent_[node] ? 2 : 1); ++k) {
        const tRange& range = ranges_[first + k];
        distance += line[k] < range.Low    ? static_cast<std::uint32_t>(range.Low - line[k])
                    : line[k] > range.High ? static_cast<std::uint32_t>(line[k] - range.High)
                                           : 0u;
      }
    }
  }
}

// The own-carbon figures that bound an open residue at `level`: those of its chosen positions
// when they are fixed.
// Once configurations it depends on are fixed too, over the blocks that agree with them.
const tPrunedSearch::tOwnStats& tPrunedSearch::OpenStats(std::size_t node, std::size_t level) {
  const auto fixed = [&](std::size_t variable) {
    return options_[variable].size() <= 1 || variable + 1 <= level;
  };
  if (!fixed(node)) return own_all_[node];
  const tTopologyNode& links = topologies_[model_.WorkingStructure.Topology].Nodes[node];
  std::array<std::size_t, 3> variables{n_ + node, 0, 0};
  std::size_t count = 1;
  for (const std::uint8_t child : {links.FirstChild, links.SecondChild}) {
    if (child != kNoChild && child != node) variables[count++] = n_ + child;
  }
  bool any_configuration = false;
  for (std::size_t k = 0; k < count; ++k) {
    any_configuration = any_configuration || (options_[variables[k]].size() > 1 && fixed(variables[k]));
  }
  if (!any_configuration) return own_by_choice_[node][choice_[node]];
  if (agreeing_stamp_[node] == visit_) return agreeing_[node];
  agreeing_stamp_[node] = visit_;
  // Every block of the chosen positions whose configurations agree with the fixed ones.
  tOwnStats& stats = agreeing_[node];
  const std::vector<tOwnStats>& blocks = block_stats_[node];
  bool first = true;
  std::array<std::size_t, 3> digit{};
  for (;;) {
    std::size_t index = choice_[node];
    for (std::size_t k = 0; k < count; ++k) {
      const std::size_t option = fixed(variables[k]) ? choice_[variables[k]] : digit[k];
      index = index * options_[variables[k]].size() + option;
    }
    const tOwnStats& block = blocks[index];
    if (first) {
      stats = block;
      first = false;
    } else {
      stats.Terms = std::min(stats.Terms, block.Terms);
      stats.Cost = std::min(stats.Cost, block.Cost);
      for (std::size_t q = 0; q < stats.Count; ++q) {
        stats.Ranges[q].Low = std::min(stats.Ranges[q].Low, block.Ranges[q].Low);
        stats.Ranges[q].High = std::max(stats.Ranges[q].High, block.Ranges[q].High);
      }
      for (std::size_t s = 0; s < kMaxResidues; ++s) {
        stats.Spin[s] = std::min(stats.Spin[s], block.Spin[s]);
        stats.SpinOffset[s] = std::min(stats.SpinOffset[s], block.SpinOffset[s]);
      }
    }
    // The next combination of the open configurations.
    std::size_t k = count;
    while (k-- > 0) {
      if (fixed(variables[k])) continue;
      if (++digit[k] < options_[variables[k]].size()) break;
      digit[k] = 0;
    }
    if (k == static_cast<std::size_t>(-1)) break;
  }
  return stats;
}

// Residue by residue: the determined carbons against each line, the others at least what
// PrepareBounds found; the cheapest assignment of the residues to the lines bounds the score.
std::uint32_t tPrunedSearch::SpinLowerBound(std::size_t level) {
  const tMeasuredSpectrum& measured = scorer_.Measured();
  const tTopology& topology = topologies_[model_.WorkingStructure.Topology];
  for (std::size_t r = 0; r < residue_count_; ++r) {
    const std::size_t node = residues_shifts_[r].Node;
    if (block_level_[node] > static_cast<std::int32_t>(level)) {
      const tOwnStats& stats = OpenStats(node, level);
      for (std::size_t s = 0; s < residue_count_; ++s) {
        spin_costs_[r][s] = std::min(kNoLineMatch, stats.Spin[s] + dependent_spin_[r][s]);
      }
      continue;
    }
    const std::size_t first = model_.CarbonOffsets[node];
    const std::size_t count = residues_shifts_[r].Count;
    // The carbons the parent changes are determined once the parent's block is.
    const bool parent_known =
        block_level_[topology.Nodes[node].Parent] <= static_cast<std::int32_t>(level);
    for (std::size_t s = 0; s < residue_count_; ++s) {
      if (measured.LineLength(s) != count) {
        spin_costs_[r][s] = kNoLineMatch;
        continue;
      }
      const std::int32_t* line = measured.Line(s);
      std::uint32_t sum = 0;
      for (std::size_t k = 0; k < count; ++k) {
        if ((k == 0 || (k == 1 && phosphate_parent_[node])) && !parent_known) {
          const tRange& range = ranges_[first + k];
          sum += line[k] < range.Low    ? static_cast<std::uint32_t>(range.Low - line[k])
                 : line[k] > range.High ? static_cast<std::uint32_t>(line[k] - range.High)
                                        : 0u;
          continue;
        }
        const std::int32_t difference = values_[first + k] - line[k];
        sum += static_cast<std::uint32_t>(difference < 0 ? -difference : difference);
      }
      spin_costs_[r][s] = sum;
    }
  }
  return scorer_.CheapestAssignment(spin_costs_, residue_count_);
}

// With the automatic offset, residue by residue: each residue and line at the offset that suits
// that pair best (so at least what any common offset gives), over the determined carbons; the
// cheapest assignment of residues to lines bounds the score.
std::uint32_t tPrunedSearch::SpinOffsetBound(std::size_t level) {
  const tMeasuredSpectrum& measured = scorer_.Measured();
  const tTopology& topology = topologies_[model_.WorkingStructure.Topology];
  for (std::size_t r = 0; r < residue_count_; ++r) {
    const std::size_t node = residues_shifts_[r].Node;
    if (block_level_[node] > static_cast<std::int32_t>(level)) {
      const tOwnStats& stats = OpenStats(node, level);
      for (std::size_t s = 0; s < residue_count_; ++s) {
        spin_costs_[r][s] = measured.LineLength(s) != residues_shifts_[r].Count
                                ? kNoLineMatch
                                : stats.Count == 0 ? 0 : stats.SpinOffset[s];
      }
      continue;
    }
    const std::size_t first = model_.CarbonOffsets[node];
    const std::size_t count = residues_shifts_[r].Count;
    const bool parent_known =
        block_level_[topology.Nodes[node].Parent] <= static_cast<std::int32_t>(level);
    const std::size_t own_first = parent_known ? 0 : phosphate_parent_[node] ? 2 : 1;
    for (std::size_t s = 0; s < residue_count_; ++s) {
      spin_costs_[r][s] = measured.LineLength(s) != count
                              ? kNoLineMatch
                              : own_first >= count
                                    ? 0
                                    : tSpectrumScorer::BestOffsetSum(values_.data() + first + own_first,
                                                                     measured.Line(s) + own_first,
                                                                     count - own_first);
    }
  }
  return scorer_.CheapestAssignment(spin_costs_, residue_count_);
}

// Takes the blocks and carbon values that the choices up to `level` determine, and keeps the
// determined values sorted.
void tPrunedSearch::Determine(std::size_t level) {
  for (const std::uint8_t i : blocks_at_[level]) current_[i] = &blocks_[i][BlockIndex(i)];
  const tTopology& topology = topologies_[model_.WorkingStructure.Topology];
  const std::vector<std::uint8_t>& carbons = carbons_at_[level];
  std::int32_t* added = added_[level].data();
  std::size_t added_count = 0;
  for (const std::uint8_t carbon : carbons) {
    const std::size_t node = node_of_carbon_[carbon];
    const std::size_t k = carbon - model_.CarbonOffsets[node];
    std::int32_t value = current_[node]->Shifts[k];
    if (k == 0 || (k == 1 && phosphate_parent_[node])) {
      const std::uint8_t parent = topology.Nodes[node].Parent;
      const tTopologyNode& links = topology.Nodes[parent];
      const tResidueBlock& from = *current_[parent];
      if (links.FirstChild == node) {
        value += k == 0 ? from.FirstChildC1 : from.FirstChildC2;
      } else if (links.SecondChild == node && k == 0) {
        value += from.SecondChildC1;
      }
    }
    values_[carbon] = value;
    added[added_count++] = value;
  }
  SortFew(added, added_count);
  added_count_[level] = added_count;
  merged_[level] = false;
}

void tPrunedSearch::MergeSorted(std::size_t level) {
  const std::size_t before = level == 0 ? 0 : sorted_count_[level - 1];
  const std::int32_t* previous = level == 0 ? nullptr : sorted_[level - 1].data();
  std::merge(previous, previous + before, added_[level].data(),
             added_[level].data() + added_count_[level], sorted_[level].data());
  sorted_count_[level] = before + added_count_[level];
  merged_[level] = true;
}

void tPrunedSearch::Descend(std::size_t level) {
  if (level == variables_) {
    Leaf();
    return;
  }
  const std::size_t count = options_[level].size();
  const bool bound_here = bounds_ && level + 1 < variables_;
  for (std::size_t option = 0; option < count; ++option) {
    choice_[level] = static_cast<std::uint8_t>(option);
    Determine(level + 1);
    if (bound_here && Prune(level + 1)) {
      result_->Unrecorded += leaves_below_[level + 1];
      continue;
    }
    if (!merged_[level + 1]) MergeSorted(level + 1);
    Descend(level + 1);
  }
}

// Every carbon is matched to one measured shift: the determined ones by their values, the others
// by the ranges of values they can take. Widened so that no range lies inside another (which only
// lowers the costs), the items are matched in order of their lower ends at the least cost. Fills
// `lows` and `highs` with the items in that order.
void tPrunedSearch::MergeItems(std::size_t level, std::int32_t* lows, std::int32_t* highs) {
  // Ranges of the open residues whose positions are fixed: taken for the chosen positions.
  std::size_t chosen_count = 0;
  for (const std::uint8_t node : choice_known_[level]) {
    const tOwnStats& stats = OpenStats(node, level);
    for (std::size_t q = 0; q < stats.Count; ++q) {
      const tRange range = stats.Ranges[q];
      std::size_t at = chosen_count++;
      for (; at > 0 && chosen_[at - 1].Low > range.Low; --at) chosen_[at] = chosen_[at - 1];
      chosen_[at] = range;
    }
  }
  const std::size_t m = scorer_.Measured().Size();
  const std::int32_t* earlier = level == 0 ? nullptr : sorted_[level - 1].data();
  const std::size_t earlier_count = level == 0 ? 0 : sorted_count_[level - 1];
  const std::int32_t* added = added_[level].data();
  const std::size_t added_count = added_count_[level];
  const std::vector<tRange>& ranges = open_ranges_[level];
  constexpr std::int32_t kNone = std::numeric_limits<std::int32_t>::max();
  std::size_t e = 0, a = 0, r = 0, c = 0;
  std::int32_t high = std::numeric_limits<std::int32_t>::min();
  for (std::size_t k = 0; k < m; ++k) {
    const std::int32_t from_earlier = e < earlier_count ? earlier[e] : kNone;
    const std::int32_t from_added = a < added_count ? added[a] : kNone;
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
      if (from_ranges <= from_chosen) {
        high = std::max(high, ranges[r++].High);
      } else {
        high = std::max(high, chosen_[c++].High);
      }
    }
    highs[k] = high;
  }
}

std::uint32_t tPrunedSearch::RangeBound(std::size_t level) {
  const std::int32_t* y = scorer_.Measured().Sorted();
  const std::size_t m = scorer_.Measured().Size();
  std::int32_t* lows = breakpoints_.data();
  std::int32_t* highs = lows + m;
  MergeItems(level, lows, highs);
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < m; ++k) sum += DistanceOutside(y[k], lows[k], highs[k]);
  return sum;
}

// With the automatic offset a bound must hold for every offset: the range bound is convex in the
// offset and smallest at the median of the points where the items' terms start to rise.
std::uint32_t tPrunedSearch::OffsetRangeBound(std::size_t level) {
  const std::int32_t* y = scorer_.Measured().Sorted();
  const std::size_t m = scorer_.Measured().Size();
  std::int32_t* lows = breakpoints_.data();
  std::int32_t* highs = lows + m;
  MergeItems(level, lows, highs);
  // The term of the item matched to y[k] is zero for offsets from lows[k] - y[k] to
  // highs[k] - y[k] and rises by one per tenth outside.
  std::int32_t* median = highs + m;
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

// Whether no candidate below the choices up to `level` can matter: a lower bound of their
// deviations lies above the threshold. Keeps the bound of the determined values for the levels
// below.
bool tPrunedSearch::Prune(std::size_t level) {
  ++visit_;
  const tMeasuredSpectrum& measured = scorer_.Measured();
  const std::uint32_t threshold = Threshold();
  const std::uint32_t previous = level == 0 ? 0 : bound_[level - 1];
  bound_[level] = previous;
  terms_[level] = level == 0 ? 0 : terms_[level - 1];
  if (level > 0 && carbons_at_[level].empty()) return false;  // nothing new since the parent
  if (measured.AutoOffset()) {
    if (threshold == kNoThreshold) return false;
    if (measured.SpinSystems() && SpinOffsetBound(level) > threshold) return true;
    return OffsetRangeBound(level) > threshold;
  }

  // The additive bound and, for the one-to-one map of the determined values, the part determined
  // before plus each new value on its own (its distance to the nearest measured shift): cheap,
  // and kept up to date for the levels below.
  std::int64_t terms = level == 0 ? 0 : terms_[level - 1];
  const std::int32_t* experimental = measured.Sorted();
  const std::size_t m = measured.Size();
  std::uint32_t quick = previous;
  for (const std::uint8_t carbon : carbons_at_[level]) {
    const std::int32_t value = values_[carbon];
    terms += additive_.Term(value);
    const std::int32_t* above = std::lower_bound(experimental, experimental + m, value);
    std::uint32_t nearest = kNoThreshold;
    if (above != experimental + m) nearest = static_cast<std::uint32_t>(*above - value);
    if (above != experimental) nearest = std::min(nearest, static_cast<std::uint32_t>(value - above[-1]));
    quick += nearest;
  }
  terms_[level] = terms;
  bound_[level] = quick;
  if (threshold == kNoThreshold) return false;
  // The open residues whose positions are fixed add what their chosen positions allow.
  std::int64_t open_terms = open_terms_[level];
  std::uint32_t open_cost = undetermined_[level];
  for (const std::uint8_t node : choice_known_[level]) {
    const tOwnStats& stats = OpenStats(node, level);
    open_terms += stats.Terms;
    open_cost += stats.Cost;
  }
  if (additive_.Constant() + terms + open_terms > static_cast<std::int64_t>(threshold)) {
    return true;
  }
  if (quick + open_cost > threshold) return true;
  if (RangeBound(level) > threshold) return true;
  if (measured.SpinSystems() && SpinLowerBound(level) > threshold) return true;
  if (!merged_[level]) MergeSorted(level);
  bound_[level] = InjectionCost(sorted_[level].data(), sorted_count_[level], experimental, m,
                                work_.data());
  return bound_[level] + open_cost > threshold;
}

void tPrunedSearch::Leaf() {
  ++scored_;
  const std::uint32_t threshold = Threshold();
  const std::int32_t* sorted = sorted_[variables_].data();
  tScore score;
  if (!scorer_.Measured().SpinSystems()) {
    score = scorer_.SortedScore(sorted);
  } else {
    // The sorted comparison never exceeds the residue-matched sum, nor does the residue-matched
    // sum with an offset of its own for every residue.
    if (threshold != kNoThreshold &&
        (scorer_.SortedScore(sorted).Sum > threshold ||
         (scorer_.Measured().AutoOffset() && SpinOffsetBound(variables_) > threshold))) {
      ++result_->Unrecorded;
      return;
    }
    score = scorer_.SpinScore(residues_shifts_.data(), residue_count_, sorted, true);
  }
  if (score.Sum > threshold) {
    ++result_->Unrecorded;
    return;
  }
  if (!scorer_.Measured().AutoOffset() && score.Sum < reference_sum_) {
    // A better fit for the additive bound, from the next sequence on.
    reference_.assign(sorted, sorted + scorer_.Measured().Size());
    reference_sum_ = score.Sum;
    refit_ = true;
  }
  Record(score);
}

void tPrunedSearch::Record(const tScore& score) {
  tStructure& structure = model_.WorkingStructure;
  for (std::size_t i = 0; i < n_; ++i) {
    tStructureNode& node = structure.Nodes[i];
    node.Subst1 = options_[i][choice_[i]].First;
    node.Subst2 = options_[i][choice_[i]].Second;
    node.Anomeric = options_[n_ + i][choice_[n_ + i]].First;
    node.Absolute = options_[n_ + i][choice_[n_ + i]].Second;
  }
  result_->Topologies.push_back(structure.Topology);
  result_->Nodes.insert(result_->Nodes.end(), structure.Nodes.begin(), structure.Nodes.end());
  result_->Scores.push_back(score);
  if (!local_.Holds(structure)) {
    local_.Keep(structure, score);
    local_threshold_ = local_.Threshold();
    Publish();
  }
}

}  // namespace glycomb
