// Internal to the search. The descent over the choices of one sequence: candidates are assembled
// from the sequence's blocks level by level, and a subtree is skipped (only counted) when a lower
// bound shows that none of its candidates can reach the threshold.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/internal/descent_parts.hpp"
#include "search/internal/pass_result.hpp"
#include "search/internal/sequence_outcomes.hpp"
#include "spectrum/structure_model.hpp"

namespace glycomb {

// What the tables of the workers allow, for the others: the pass each searches (high 32 bits) and
// the worst deviation of its table, which has seen only candidates of that pass and earlier ones.
using tPeerThresholds = std::vector<std::atomic<std::uint64_t>>;

// The threshold a worker prunes with: the least of the worst deviations of its own table, of the
// merged table after a prefix of passes that all come before the one searched (`committed`), and
// of the tables of the workers that search earlier passes. A candidate above it can neither enter
// the merged table nor be a duplicate of a kept entry (docs/search.md).
class tPruningThreshold {
 public:
  // Every argument must outlive it.
  tPruningThreshold(tBestStructures& local, const std::atomic<std::uint32_t>& committed,
                    tPeerThresholds& peers, std::size_t self);

  void BeginPass(std::size_t pass);
  std::uint32_t Current() const;
  // Whether the worker's own table is full (has a threshold of its own).
  bool LocalFull() const { return local_threshold_ != kNoThreshold; }
  // Keeps a recorded candidate in the worker's own table and publishes the table's threshold.
  void Keep(const tStructure& structure, const tScore& score);

 private:
  void Publish();

  tBestStructures& local_;
  const std::atomic<std::uint32_t>& committed_;
  tPeerThresholds& peers_;
  std::size_t self_ = 0;
  std::size_t pass_ = 0;
  std::uint32_t local_threshold_ = kNoThreshold;
};

class tSequenceDescent : private tDescentParts {
 public:
  // Every argument must outlive it. `phosphate` tells for every composition entry whether it is
  // the phosphate.
  tSequenceDescent(const tTopologyTable& topologies, const tSpectrumCalculator& calculator,
                   const tMeasuredSpectrum& measured, tPruningThreshold& threshold,
                   const std::array<bool, kMaxResidues + 1>& phosphate,
                   tSequenceOutcomes& resolved);

  // Scores every candidate (switches the bounds off, for measuring what they save).
  void DisableBounds() { use_bounds_ = false; }
  // Candidates scored exactly (the others were counted in skipped subtrees).
  std::int64_t Scored() const { return scored_; }

  // Searches the candidates of the sequence held in `model` (residues placed, carbon offsets
  // built) whose choices are `choices`, in the order of generation: records into `result` those
  // whose sum does not exceed the threshold when they are reached, counts the others. Returns false
  // when a candidate of the sequence cannot be calculated; `result` then holds the message the
  // literal enumeration would print. `key` is the sequence's SequenceKey, `pass` the pass searched.
  bool Search(tStructureModel& model, const tSequenceChoices& choices, tPassResult& result,
              const tSequenceKey& key, std::size_t pass);

 private:
  bool Prune(std::size_t level);
  void Descend(std::size_t level);
  // Below the last open configuration: replays an equivalent subtree's outcome, or descends and
  // keeps the outcome.
  void DescendResolved(std::size_t level);
  void Replay(const tSequenceOutcome& outcome);
  void Leaf();
  // Writes the candidate's choices into the working structure.
  void ApplyChoices();
  void Record(const tScore& score);
  void RecordInOrderOfGeneration();

  const tTopologyTable& topologies_;
  const tSpectrumCalculator& calculator_;
  const tMeasuredSpectrum& measured_;
  tPruningThreshold& threshold_;
  std::array<bool, kMaxResidues + 1> phosphate_{};
  tStructure* structure_ = nullptr;
  tPassResult* result_ = nullptr;
  bool use_bounds_ = true;
  std::int64_t scored_ = 0;
  std::uint64_t visit_ = 0;  // numbers the nodes of the descent, for the caches of the bounds
  // The outcomes below a choice of every open configuration: the shared store, and the key of the
  // sequence and its pass.
  struct tResolved {
    tSequenceOutcomes* Store = nullptr;
    const tSequenceKey* Key = nullptr;
    std::size_t Pass = 0;
  } resolved_;
  // When the descent takes another order than generation: the sequence's records (from First
  // on) and their ranks in the order of generation, and scratch to put them in that order, kept
  // to reuse its memory from sequence to sequence.
  struct tReordered {
    std::size_t First = 0;
    std::vector<std::int64_t> Ranks;
    std::vector<std::size_t> Order;
    std::vector<tStructureNode> Nodes;
    std::vector<tScore> Scores;
  } reordered_;
};

}  // namespace glycomb
