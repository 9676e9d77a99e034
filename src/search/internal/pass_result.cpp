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

}  // namespace glycomb
