// Internal to the search. The outcomes of the sequences searched so far, shared by the workers:
// sequences whose nodes hold entries of the same names, configurations and constraints on the same
// topology give the same candidates in the same order, differing only in which of two entries of
// one name stands where, so the second of them takes over the first one's outcome.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

#include "input/task.hpp"
#include "scoring/spectrum_score.hpp"
#include "topology/structure.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The topology, then for every node the name, configurations and constraints of its entry.
using tSequenceKey = std::array<std::uint8_t, 1 + 5 * kMaxResidues>;
tSequenceKey SequenceKey(const tStructure& structure, const tTask& task);

// The candidates a sequence recorded (their node entries without the composition entries) and the
// number it skipped.
struct tSequenceOutcome {
  std::int64_t Unrecorded = 0;
  std::vector<tStructureNode> Nodes;  // n per record
  std::vector<tScore> Scores;
};

// Thread-safe. An outcome found in a pass serves that pass and every later one: what it skipped
// has a sum above a threshold of candidates before it, which only comes down as the search goes
// on (docs/search.md).
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

}  // namespace glycomb
