// Internal to the search. What a pass found, kept until it is merged into the best-structure table
// in the order of generation.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/search.hpp"
#include "topology/structure.hpp"

namespace glycomb {

// The candidates whose sum did not exceed the threshold when they were generated (those can change
// the table or be duplicates of kept entries), in the order of generation, and the number of the
// others (each of them would be scored and dropped by any table that has seen the candidates before
// it).
struct tPassResult {
  std::vector<std::uint8_t> Topologies;  // of each recorded candidate
  std::vector<tStructureNode> Nodes;     // n per recorded candidate
  std::vector<tScore> Scores;
  std::int64_t Unrecorded = 0;
  std::int32_t Sequences = 0;  // that passed the checks
  bool Failed = false;   // a candidate of the pass cannot be calculated: the run ends
  std::string Message;   // its message
  bool Stopped = false;  // a stop request ended the pass after a sequence

  void Clear() { *this = tPassResult{}; }
  std::size_t RecordCount() const { return Scores.size(); }
  void Record(const tStructure& structure, const tScore& score);
};

// Offers the recorded candidates of `result` to `best` in their order, as the literal enumeration
// offers every candidate, and returns how many structures that checks: those not dropped as
// duplicates of kept entries, and all the unrecorded ones. `candidate` is scratch space with one
// node per residue.
// With `handed`, also appends to it what a shard hands on (see tShardRecords).
std::int64_t MergePassResult(const tPassResult& result, tBestStructures& best,
                             tStructure& candidate, tShardRecords* handed = nullptr);

}  // namespace glycomb
