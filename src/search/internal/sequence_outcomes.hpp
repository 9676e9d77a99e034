// Internal to the search. The outcomes of the sequences searched so far, shared by the workers:
// sequences whose nodes hold entries of the same names, configurations and constraints on the same
// topology give the same candidates in the same order, differing only in which of two entries of
// one name stands where, so the second of them takes over the first one's outcome. The same holds
// for the candidates below a choice of the open configurations of a sequence, keyed by the
// configurations chosen (docs/search.md, section 3).
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "input/task.hpp"
#include "search/internal/pass_result.hpp"
#include "search/sequence_enumerator.hpp"
#include "scoring/spectrum_score.hpp"
#include "topology/structure.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The topology, then for every node the name, configurations and constraints of its entry.
using tSequenceKey = std::array<std::uint8_t, 1 + 5 * kMaxResidues>;
tSequenceKey SequenceKey(const tStructure& structure, const tTask& task);
// The key of a sequence with every configuration given: `key` with each node's configurations
// replaced by those of `choices` (the option `choice` holds for each configuration variable).
tSequenceKey ResolvedKey(tSequenceKey key, const tSequenceChoices& choices,
                         const std::uint8_t* choice);

// The candidates a sequence recorded (their node entries without the composition entries) and the
// number it skipped.
struct tSequenceOutcome {
  std::int64_t Unrecorded = 0;
  std::vector<tStructureNode> Nodes;  // n per record
  std::vector<tScore> Scores;
};

// The outcome of the part of a search that recorded `result`'s records from `records` on and
// raised its unrecorded count from `unrecorded`.
std::shared_ptr<const tSequenceOutcome> OutcomeSince(const tPassResult& result,
                                                     std::size_t records, std::int64_t unrecorded,
                                                     std::size_t nodes);
// Writes record `record` of `outcome` into `structure`, keeping its composition entries.
void ApplyRecord(const tSequenceOutcome& outcome, std::size_t record, tStructure& structure);

// Thread-safe. An outcome found in a pass serves that pass and every later one: what it skipped
// has a sum above a threshold of candidates before it, which only comes down as the search goes
// on (docs/search.md). Only an aid to speed: a sequence whose outcome is not kept is searched.
// The memory is bounded: when the outcomes kept exceed kMaxBytes they are all let go.
class tSequenceOutcomes {
 public:
  static constexpr std::size_t kMaxBytes = std::size_t{64} << 20;

  // Which keys the outcomes are kept under: SequenceKey, or ResolvedKey.
  enum class tKeys { kSequences, kResolved };

  // Keeps outcomes only when two composition entries of `task` could change places (same name and
  // constraints, and the same configurations, or with kResolved configurations that a choice of
  // the open ones can make the same): otherwise no two keys are alike.
  explicit tSequenceOutcomes(const tTask& task, tKeys keys = tKeys::kSequences);

  // The outcome of `key` found in pass `pass` or before it, or none.
  std::shared_ptr<const tSequenceOutcome> Find(const tSequenceKey& key, std::size_t pass);
  void Store(const tSequenceKey& key, std::size_t pass,
             std::shared_ptr<const tSequenceOutcome> outcome);
  // What the outcomes kept take, about.
  std::size_t Bytes() const;

 private:
  bool useful_ = false;
  mutable std::mutex mutex_;
  std::size_t bytes_ = 0;
  std::map<tSequenceKey, std::pair<std::size_t, std::shared_ptr<const tSequenceOutcome>>> known_;
};

}  // namespace glycomb
