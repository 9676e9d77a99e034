// The search of one pass (a topology and a start node) without scoring what cannot matter: the
// candidates of a sequence are built from per-residue blocks, and a whole subtree of linkage and
// configuration choices is skipped, and only counted, when a lower bound of its deviations lies
// above every deviation that could still enter the best-structure table.
#pragma once

#include <array>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/structure_search.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {

// No threshold: every candidate may matter.
inline constexpr std::uint32_t kNoThreshold = std::numeric_limits<std::uint32_t>::max();

// What a pass found, for merging in generation order: the candidates whose deviation did not
// exceed the threshold when they were generated (those can change the table or be duplicates of
// kept entries), and the number of the others (each of them is scored and dropped by any table
// that has seen the candidates before it).
struct tPassResult {
  std::vector<std::uint8_t> Topologies;     // of each recorded candidate
  std::vector<tStructureNode> Nodes;        // n per recorded candidate
  std::vector<tScore> Scores;
  std::int64_t Unrecorded = 0;
  bool Failed = false;  // a candidate of the pass cannot be calculated: the run ends
  std::string Message;  // its message
  bool Stopped = false;  // a stop request ended the pass after a sequence

  void Clear();
  std::size_t RecordCount() const { return Scores.size(); }
};

// Offers the recorded candidates of `result` to `best` in their order, as the literal
// enumeration offers every candidate, and returns how many structures that checks: those not
// dropped as duplicates of kept entries, and all the unrecorded ones. `candidate` is scratch
// space with one node per residue.
std::int64_t MergePassResult(const tPassResult& result, tBestStructures& best,
                             tStructure& candidate);

// What a sequence gave: sequences whose nodes hold entries of the same names, configurations and
// constraints on the same topology give the same candidates in the same order, differing only in
// which of two entries of one name stands where.
using tSequenceKey = std::array<std::uint8_t, 1 + 5 * kMaxResidues>;
struct tSequenceOutcome {
  std::int64_t Unrecorded = 0;
  std::vector<tStructureNode> Nodes;  // n per record
  std::vector<tScore> Scores;
};

// The outcomes of the sequences searched so far, shared by the workers. An outcome found in a
// pass serves that pass and every later one: what it skipped has a deviation above a threshold
// of candidates before it, which only comes down as the search goes on. Thread-safe.
class tSequenceOutcomes {
 public:
  // The outcome of `key` found in pass `pass` or before it, or none.
  std::shared_ptr<const tSequenceOutcome> Find(const tSequenceKey& key, std::size_t pass);
  void Store(const tSequenceKey& key, std::size_t pass,
             std::shared_ptr<const tSequenceOutcome> outcome);

 private:
  std::mutex mutex_;
  std::map<tSequenceKey, std::pair<std::size_t, std::shared_ptr<const tSequenceOutcome>>> known_;
};

// Shared by the workers of one search: how far the merged table's threshold has come, and the
// progress line.
class tSearchProgress {
 public:
  virtual ~tSearchProgress() = default;
  // The progress step of one more sequence that passed the checks; false, with nothing shown,
  // once a stop request has arrived: the sequence is then not begun.
  virtual bool SequenceDone() = 0;
};

// What each worker's table allows, for the others: the pass it searches (high 32 bits) and the
// worst deviation of its table, which has seen only candidates of that pass and earlier ones.
using tPeerThresholds = std::vector<std::atomic<std::uint64_t>>;

// Searches passes one after another with its own working structure, block tables and table of
// the best candidates it has seen. The committed threshold is the worst deviation of the merged
// table after a prefix of passes that all come before the one searched; a peer's threshold counts
// while the peer searches an earlier pass.
class tPrunedSearch : public tStructureSearch {
 public:
  tPrunedSearch(const tTask& task, const tResidueTable& residues, const tTopologyTable& topologies,
                tStructureModel& model, tSpectrumCalculator& calculator, tBestStructures& local,
                const std::atomic<std::uint32_t>& committed, tSearchProgress& progress,
                const std::atomic<std::size_t>& end_pass, tSequenceOutcomes& outcomes,
                tPeerThresholds& peers, std::size_t self);

  // Searches the pass of `start_node` on topology `topology`, number `pass` of the search, into
  // `result`. The pass ends early, after a sequence, when a stop request arrives or when an
  // earlier pass has ended the run (`end_pass` is at or below `pass`).
  void SearchPass(std::size_t pass, std::uint8_t topology, std::uint8_t start_node,
                  tPassResult& result);

  // Switches the bounds off (every candidate scored; for measuring what they save).
  void DisableBounds() { bounds_ = false; }
  // Candidates scored exactly (the others were counted in skipped subtrees).
  std::int64_t ScoredCandidates() const { return scored_; }

 protected:
  void SearchSequence() override;
  void ShowSequenceProgress() override;
  bool KeepGoing() const override;
  [[noreturn]] void Stop() override;

 private:
  // A choice of the enumeration: the positions of one node, or its configurations.
  struct tOption {
    std::uint8_t First = 0;   // Subst1, or Anomeric
    std::uint8_t Second = 0;  // Subst2, or Absolute
  };

  tSequenceKey SequenceKey() const;
  void Replay(const tSequenceOutcome& outcome);
  void SearchNewSequence();
  void Publish();

  void BuildOptions();
  bool BuildBlocks();
  std::size_t BlockIndex(std::size_t node) const;
  void ReportFirstFailure();
  void Descend(std::size_t depth);
  void SetVariable(std::size_t variable);
  void Determine(std::size_t level);
  bool Prune(std::size_t level);
  void PrepareBounds();
  std::uint32_t Threshold() const;
  void Leaf();
  void Record(const tScore& score);
  std::uint32_t SpinLowerBound(std::size_t level);

  tSpectrumCalculator& calculator_;
  tSpectrumScorer scorer_;
  tBestStructures& local_;
  const std::atomic<std::uint32_t>& committed_;
  tSearchProgress& progress_;
  const std::atomic<std::size_t>& end_pass_;  // the first pass that ends the run
  tSequenceOutcomes& outcomes_;
  tPeerThresholds& peers_;
  std::size_t self_ = 0;
  std::size_t pass_ = 0;
  tPassResult* result_ = nullptr;
  bool bounds_ = true;
  std::int64_t scored_ = 0;
  std::uint32_t local_threshold_ = kNoThreshold;

  // The sequence being searched. Variables: the positions of nodes 0..n-1, then the
  // configurations of nodes 0..n-1, in the order of generation.
  std::size_t variables_ = 0;
  std::array<std::vector<tOption>, 2 * kMaxResidues> options_;
  std::array<std::uint8_t, 2 * kMaxResidues> choice_{};
  // Candidates below a node of the enumeration at each level (the first `level` variables fixed).
  std::array<std::int64_t, 2 * kMaxResidues + 1> leaves_below_{};
  // Blocks by node, indexed by the choices they depend on; failed ones have a message.
  std::array<std::vector<tResidueBlock>, kMaxResidues> blocks_;
  std::array<std::vector<std::int32_t>, kMaxResidues> block_failure_;  // index or -1
  std::vector<std::string> failures_;
  std::array<std::int32_t, kMaxResidues> block_level_{};  // level that determines it
  std::array<const tResidueBlock*, kMaxResidues> current_{};
  std::array<bool, kMaxResidues> phosphate_parent_{};  // C2 takes the parent's effect
  // Carbons by the level that determines them (level l: after the first l variables).
  std::array<std::vector<std::uint8_t>, 2 * kMaxResidues + 1> carbons_at_;
  std::vector<std::uint8_t> node_of_carbon_;
  std::vector<std::int32_t> values_;  // by carbon, valid once determined
  // Nodes whose blocks are determined at each level.
  std::array<std::vector<std::uint8_t>, 2 * kMaxResidues + 1> blocks_at_;
  // The values determined at each level in ascending order, and all values determined up to it
  // (built when a bound or the level below needs them).
  std::array<std::array<std::int32_t, kMaxCarbons * kMaxResidues>, 2 * kMaxResidues + 1>
      added_{};
  std::array<std::size_t, 2 * kMaxResidues + 1> added_count_{};
  std::array<std::vector<std::int32_t>, 2 * kMaxResidues + 1> sorted_;
  std::array<std::size_t, 2 * kMaxResidues + 1> sorted_count_{};
  std::array<bool, 2 * kMaxResidues + 1> merged_{};
  void MergeSorted(std::size_t level);
  // The one-to-one map bound of the determined values per level, and what the residues whose
  // blocks are not determined yet add to it at least (each on its own, without C1 and a C2 that
  // its parent changes).
  std::array<std::uint32_t, 2 * kMaxResidues + 1> bound_{};
  std::array<std::uint32_t, 2 * kMaxResidues + 1> undetermined_{};
  // The additive bound: its terms summed over the determined carbons per level, and the least
  // the carbons not determined yet can add.
  tAdditiveBound additive_;
  std::array<std::int64_t, 2 * kMaxResidues + 1> terms_{};
  std::array<std::int64_t, 2 * kMaxResidues + 1> open_terms_{};
  // The carbons not determined at each level as ranges of the values they can take, by lower end.
  struct tRange {
    std::int32_t Low = 0;
    std::int32_t High = 0;
  };
  std::array<std::vector<tRange>, 2 * kMaxResidues + 1> open_ranges_;
  void MergeItems(std::size_t level, std::int32_t* lows, std::int32_t* highs);
  std::uint32_t RangeBound(std::size_t level);
  std::uint32_t OffsetRangeBound(std::size_t level);
  std::vector<tRange> ranges_;  // of the carbons a parent changes
  std::vector<std::int32_t> breakpoints_;
  std::vector<tRange> chosen_;
  // What the own carbons of a residue whose block is open add at least: over all its blocks, or
  // over those of one choice of its positions.
  struct tOwnStats {
    std::int64_t Terms = 0;    // additive bound
    std::uint32_t Cost = 0;    // one-to-one map into the measured spectrum
    std::uint8_t Count = 0;    // own carbons
    std::array<tRange, kMaxCarbons> Ranges{};  // of the smallest, second smallest, ... value
    std::array<std::uint32_t, kMaxResidues> Spin{};        // against each line
    std::array<std::uint32_t, kMaxResidues> SpinOffset{};  // each at its best offset
  };
  std::array<tOwnStats, kMaxResidues> own_all_{};
  std::array<std::vector<tOwnStats>, kMaxResidues> own_by_choice_;
  // Open residues whose positions are fixed, per level.
  std::array<std::vector<std::uint8_t>, 2 * kMaxResidues + 1> choice_known_;
  const tOwnStats& OpenStats(std::size_t node, std::size_t level);
  std::array<std::vector<tOwnStats>, kMaxResidues> block_stats_;  // of each block
  std::array<tOwnStats, kMaxResidues> agreeing_{};  // over blocks agreeing with this visit
  std::array<std::uint64_t, kMaxResidues> agreeing_stamp_{};
  std::uint64_t visit_ = 0;
  // With spin systems: each residue against each line on the carbons its parent changes, at least.
  tCostMatrix dependent_spin_{};
  std::uint32_t SpinOffsetBound(std::size_t level);
  tCostMatrix spin_costs_{};
  // The best spectrum this worker has scored (sorted): the additive bound is fitted to it.
  std::vector<std::int32_t> reference_;
  std::uint32_t reference_sum_ = kNoThreshold;
  bool refit_ = false;
  std::vector<std::uint32_t> work_;
  std::array<tResidueShifts, kMaxResidues> residues_shifts_{};
  std::size_t residue_count_ = 0;
};

}  // namespace glycomb
