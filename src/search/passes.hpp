// The passes of a search: every start node of every topology searched, in the order of
// generation. A pass is the unit the threads share out and the unit whose results are merged.
#pragma once

#include <cstdint>
#include <vector>

#include "input/task.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

struct tPass {
  std::uint8_t Topology = 0;
  std::uint8_t StartNode = 0;
};

// The topologies of the table in catalogue order (those of Shape 2 only without WIDESPREAD), each
// from its start nodes in ascending order.
std::vector<tPass> SearchPasses(const tTask& task, const tTopologyTable& topologies);

// The estimate shown before the search, an upper bound of the sequences it hands on: (n - 1)!
// sequences at most for each pass.
std::int32_t SequenceEstimate(const tTask& task, std::size_t pass_count);

}  // namespace glycomb
