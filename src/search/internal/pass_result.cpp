#include "search/internal/pass_result.hpp"

#include <algorithm>

#include "console/checked.hpp"

namespace glycomb {

void tPassResult::Record(const tStructure& structure, const tScore& score) {
  Topologies.push_back(structure.Topology);
  Nodes.insert(Nodes.end(), structure.Nodes.begin(), structure.Nodes.end());
  Scores.push_back(score);
}

std::int64_t MergePassResult(const tPassResult& result, tBestStructures& best,
                             tStructure& candidate, tShardRecords* handed) {
  const std::size_t n = candidate.Nodes.size();
  std::int64_t checked = result.Unrecorded;
  if (handed) handed->Unrecorded = CheckedAdd<std::int64_t>(handed->Unrecorded, result.Unrecorded);
  for (std::size_t r = 0; r < result.RecordCount(); ++r) {
    candidate.Topology = result.Topologies[r];
    std::copy_n(result.Nodes.begin() + static_cast<std::ptrdiff_t>(r * n), n,
                candidate.Nodes.begin());
    const bool held = best.Holds(candidate);
    if (handed) {
      // Only a sum above the worst of this table, which is at or above the worst of any table
      // that has seen every candidate before, lets the merge of shards count it without seeing it.
      const tScore& score = result.Scores[r];
      if (held || (score.Sum <= best.Threshold() && score.Sum != kInfeasibleSum)) {
        handed->Records.push_back({candidate, score.Sum, score.Offset, score.LineOfNode});
      } else {
        handed->Unrecorded = CheckedAdd<std::int64_t>(handed->Unrecorded, 1);
      }
    }
    if (held) continue;
    checked = CheckedAdd<std::int64_t>(checked, 1);
    best.Keep(candidate, result.Scores[r]);
  }
  return checked;
}

}  // namespace glycomb
