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

// A contiguous range of passes, [First, End).
struct tPassRange {
  std::size_t First = 0;
  std::size_t End = 0;
};

// Shard K of N (1 <= K <= N <= kMaxShards): the K-th of N shares of the passes of a search.
struct tShard {
  unsigned K = 1;
  unsigned N = 1;
  friend bool operator==(const tShard&, const tShard&) = default;
};
inline constexpr unsigned kMaxShards = 4096;

// Shard `shard` of `pass_count` passes: contiguous ranges in pass order, cut so
// that every shard gets the same number of passes within one (the estimate gives every pass the
// same weight). The same k, n and pass count always give the same range; the ranges of 1..n
// follow one another and cover every pass once.
tPassRange ShardPasses(std::size_t pass_count, const tShard& shard);

// The estimate shown before the search, an upper bound of the sequences it hands on: (n - 1)!
// sequences at most for each pass.
std::int32_t SequenceEstimate(const tTask& task, std::size_t pass_count);

}  // namespace glycomb
