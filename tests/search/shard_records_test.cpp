// What a shard hands on, merged in order, against one table fed the whole stream: on random
// streams over a few structures with few distinct sums, so that candidates come back as duplicates
// of kept entries and tie with the worst kept sum, in the shard that keeps them and in later ones.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "search/internal/pass_result.hpp"
#include "search/search.hpp"

namespace glycomb {
namespace {

tStructure Structure(unsigned id) {
  tStructure structure;
  structure.Nodes = {{1, static_cast<std::uint8_t>(id % 2), static_cast<std::uint8_t>(id / 2 % 2),
                      static_cast<std::uint8_t>(2 + id / 4), 0}};
  return structure;
}

TEST(ShardRecordsTest, ShardsMergedInOrderGiveTheTableAndCountOfTheWholeStream) {
  std::mt19937 random(7);
  const auto pick = [&](unsigned n) { return static_cast<unsigned>(random() % n); };
  for (int round = 0; round < 3000; ++round) {
    const unsigned structures = 2 + pick(10);
    std::vector<std::uint32_t> sum_of(structures);
    for (auto& sum : sum_of) sum = pick(4);
    const auto limit = static_cast<std::uint8_t>(1 + pick(3));
    std::vector<unsigned> stream(1 + pick(30));
    for (unsigned& id : stream) id = pick(structures);
    const auto table = [&] {
      tBestStructures best;
      best.Create(limit, 1, {0, 7});
      return best;
    };
    const auto pass = [&](std::size_t first, std::size_t end) {
      tPassResult result;
      for (std::size_t i = first; i < end; ++i) {
        result.Record(Structure(stream[i]), tScore{.Sum = sum_of[stream[i]]});
      }
      return result;
    };
    tStructure scratch = Structure(0);
    tBestStructures whole = table();
    const std::int64_t whole_checked = MergePassResult(pass(0, stream.size()), whole, scratch);

    // Cut the stream into shards at random points.
    std::vector<std::size_t> cuts = {0, stream.size()};
    for (unsigned c = pick(4); c > 0; --c) {
      cuts.push_back(pick(static_cast<unsigned>(stream.size()) + 1));
    }
    std::sort(cuts.begin(), cuts.end());
    tBestStructures merged = table();
    std::int64_t merged_checked = 0;
    for (std::size_t s = 0; s + 1 < cuts.size(); ++s) {
      tBestStructures own = table();
      tShardRecords handed;
      MergePassResult(pass(cuts[s], cuts[s + 1]), own, scratch, &handed);
      merged_checked += MergeShardRecords(handed, merged);
    }
    ASSERT_EQ(merged_checked, whole_checked) << "round " << round;
    ASSERT_EQ(merged.BestCount(), whole.BestCount()) << "round " << round;
    for (std::size_t i = 0; i < whole.BestCount(); ++i) {
      ASSERT_EQ(merged.Entry(i).Structure.Nodes, whole.Entry(i).Structure.Nodes) << "round " << round;
      ASSERT_EQ(merged.Entry(i).Deviation, whole.Entry(i).Deviation) << "round " << round;
    }
  }
}

}  // namespace
}  // namespace glycomb
