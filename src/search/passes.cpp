#include "search/passes.hpp"

#include "console/checked.hpp"
#include "console/formatting.hpp"

namespace glycomb {

std::vector<tPass> SearchPasses(const tTask& task, const tTopologyTable& topologies) {
  std::vector<tPass> passes;
  for (std::size_t t = 0; t < topologies.size(); ++t) {
    const tTopology& topology = topologies[t];
    if (task.WideSpread != 0 && topology.Shape == kShapeRare) continue;
    for (std::size_t u = 0; u < topology.Nodes.size(); ++u) {
      if (topology.StartNodes.test(u)) {
        passes.push_back({Narrow<std::uint8_t>(t), Narrow<std::uint8_t>(u)});
      }
    }
  }
  return passes;
}

tPassRange ShardPasses(std::size_t pass_count, const tShard& shard) {
  if (shard.K < 1 || shard.K > shard.N) CheckFailed("range check error: shard");
  return {pass_count * (shard.K - 1) / shard.N, pass_count * shard.K / shard.N};
}

std::int32_t SequenceEstimate(const tTask& task, std::size_t pass_count) {
  return CheckedMul<std::int32_t>(Factorial(CheckedSub<std::uint8_t>(task.ResidueCount, 1)),
                                  Narrow<std::uint16_t>(pass_count));
}

}  // namespace glycomb
