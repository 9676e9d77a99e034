// The probabilities of the kept structures: worked by hand, and the properties every list must
// have whatever its sums.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "confidence/probability.hpp"

namespace glycomb {
namespace {

// Sums 10.0, 11.0 and 13.0 ppm, scale 1 ppm, the rest weighing 0.5 of the best:
// weights 1, e^-1 = 0.367879, e^-3 = 0.049787 and 0.5; together 1.917667 (without the rest
// 1.417667).
TEST(ProbabilityTest, ThreeStructuresWorkedByHand) {
  const tProbabilities p = StructureProbabilities({110, 100, 130}, 0.5, 10);
  ASSERT_EQ(p.Structures.size(), 3u);
  EXPECT_NEAR(p.Structures[0], 0.191837, 1e-6);
  EXPECT_NEAR(p.Structures[1], 0.521467, 1e-6);
  EXPECT_NEAR(p.Structures[2], 0.025962, 1e-6);
  EXPECT_NEAR(p.Outside, 0.260734, 1e-6);
  // Without a rest the three share everything.
  const tProbabilities alone = StructureProbabilities({110, 100, 130}, 0, 10);
  EXPECT_NEAR(alone.Structures[1], 0.705385, 1e-6);
  EXPECT_EQ(alone.Outside, 0);
}

TEST(ProbabilityTest, EveryListAddsUpToOneAndFollowsItsSums) {
  std::mt19937 random(19);
  const auto pick = [&](std::uint32_t below) {
    return std::uniform_int_distribution<std::uint32_t>(0, below - 1)(random);
  };
  for (int trial = 0; trial < 500; ++trial) {
    std::vector<std::uint32_t> sums(1 + pick(99));
    // Sums far apart as well as ties; some so far from the best that their weight underflows.
    for (auto& sum : sums) sum = pick(trial % 2 == 0 ? 40 : 40000);
    const double outside = trial % 3 == 0 ? 0 : std::ldexp(pick(1000), -7);
    const double scale = 1 + pick(20);
    const tProbabilities p = StructureProbabilities(sums, outside, scale);
    double total = p.Outside;
    for (std::size_t i = 0; i < sums.size(); ++i) {
      ASSERT_GE(p.Structures[i], 0);
      total += p.Structures[i];
      for (std::size_t j = 0; j < sums.size(); ++j) {
        if (sums[i] == sums[j]) {
          ASSERT_EQ(p.Structures[i], p.Structures[j]);
        } else if (sums[i] < sums[j]) {
          ASSERT_GE(p.Structures[i], p.Structures[j]);
        }
      }
    }
    ASSERT_NEAR(total, 1, 1e-12);
    ASSERT_GT(*std::max_element(p.Structures.begin(), p.Structures.end()), 0);
  }
}

TEST(ProbabilityTest, WrittenWithTwoDecimalsAndBoundsRoundedUp) {
  const struct {
    double Value;
    const char* Probability;
    const char* UpperBound;
  } cases[] = {{0, "0.00", "0.00"},       {0.004, "0.00", "0.01"}, {0.03, "0.03", "0.03"},
               {0.034, "0.03", "0.04"},   {0.995, "1.00", "1.00"}, {0.5, "0.50", "0.50"},
               {1, "1.00", "1.00"},       {0.07, "0.07", "0.07"}};
  for (const auto& c : cases) {
    EXPECT_EQ(FormatProbability(c.Value), c.Probability) << c.Value;
    EXPECT_EQ(FormatUpperBound(c.Value), c.UpperBound) << c.Value;
  }
}

}  // namespace
}  // namespace glycomb
