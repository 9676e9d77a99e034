// The division of the passes into shards: shards 1..N follow one another, cover every pass once and
// differ in size by at most one pass, for any number of passes (fewer than shards included).
#include <gtest/gtest.h>

#include "search/passes.hpp"

namespace glycomb {
namespace {

TEST(ShardPassesTest, ShardsFollowOneAnotherCoverEveryPassAndBalance) {
  for (const std::size_t passes : {0u, 1u, 2u, 7u, 112u, 1151u}) {
    for (const unsigned n : {1u, 2u, 3u, 8u, 13u, 4096u}) {
      std::size_t next = 0, least = passes, most = 0;
      for (unsigned k = 1; k <= n; ++k) {
        const tPassRange range = ShardPasses(passes, {k, n});
        ASSERT_EQ(range.First, next) << passes << " passes, shard " << k << " of " << n;
        ASSERT_LE(range.First, range.End);
        least = std::min(least, range.End - range.First);
        most = std::max(most, range.End - range.First);
        next = range.End;
      }
      EXPECT_EQ(next, passes) << passes << " passes, " << n << " shards";
      EXPECT_LE(most - least, 1u) << passes << " passes, " << n << " shards";
    }
  }
}

}  // namespace
}  // namespace glycomb
