// One structure, one predicted spectrum: the calculation does not depend on how the residues of a
// repeating unit are numbered.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/in_process.hpp"
#include "support/random_tasks.hpp"

namespace glycomb {
namespace {

using testing::CalcInProcess;

// The structure record of a linear unit written from its residue `first` on.
std::string Record(const std::vector<std::string>& tokens, std::size_t first) {
  std::string record;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    record += tokens[(first + i) % tokens.size()] + "-";
  }
  return record;
}

// The shifts of the residue written `token`-th (0-based) in a /CALC outcome.
std::vector<std::int32_t> TokenShifts(const testing::tCalcOutcome& calc, std::size_t token) {
  const std::uint8_t node = calc.NodeOfToken.at(token);
  return {calc.Spectrum.begin() + calc.CarbonOffsets.at(node),
          calc.Spectrum.begin() + calc.CarbonOffsets.at(node + 1u)};
}

// The main chain of a linear unit can be written from any of its residues: every residue gets the
// same shifts whichever node number it has. The test data set gains phosphate effects that differ
// between a residue of the phosphate's absolute configuration and one of the other.
TEST(CalculationConsistencyTest, LinearUnitsFromEveryStartingResidue) {
  for (const bool test_data : {false, true}) {
    const testing::tDataSetDir data(test_data);
    if (test_data) {
      std::string effects = testing::kTestEffectsFile;
      const auto insert_after = [&](const std::string& block, const std::string& lines) {
        effects.insert(effects.find(block) + block.size(), lines);
      };
      insert_after("#glc\n",
                   "nneDDxP2 ->  0.0 /  0.0  6.0 -1.5  0.0  0.0  0.0\n"
                   "nneDDxP3 ->  0.0 /  0.0 -1.5  6.5 -1.0  0.0  0.0\n"
                   "nneDDxP6 ->  0.0 /  0.0  0.0  0.0  0.0 -1.5  5.5\n");
      insert_after("#ald3\n",
                   "nneDDxP2 ->  0.0 / -2.0  6.0 -2.0\n"
                   "nneDDxP3 ->  0.0 /  0.0 -2.0  5.0\n");
      data.Dir.Write("EFFECTS.PS", effects);
    }
    testing::tTaskGenerator generator(data.Residues, test_data, 14);
    int compared = 0;
    for (int unit = 0; unit < 100; ++unit) {
      const auto tokens = generator.LinearUnit(2 + static_cast<std::size_t>(unit % 4));
      const auto reference = CalcInProcess(data.Dir.Path(), Record(tokens, 0));
      if (!reference.Calculated) continue;  // the data lack an effect of this unit
      ++compared;
      for (std::size_t first = 1; first < tokens.size(); ++first) {
        const auto rotated = CalcInProcess(data.Dir.Path(), Record(tokens, first));
        ASSERT_TRUE(rotated.Calculated) << Record(tokens, first);
        for (std::size_t t = 0; t < tokens.size(); ++t) {
          EXPECT_EQ(TokenShifts(rotated, (t + tokens.size() - first) % tokens.size()),
                    TokenShifts(reference, t))
              << Record(tokens, first) << " against " << Record(tokens, 0) << ", residue " << t;
        }
      }
    }
    EXPECT_GE(compared, 20);
  }
}

}  // namespace
}  // namespace glycomb
