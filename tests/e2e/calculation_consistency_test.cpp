// One structure, one predicted spectrum: the calculation does not depend on how the residues of a
// repeating unit are numbered or in which order the task names them, and a search scores every
// structure exactly as /CALC calculates it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "databases/names_database.hpp"
#include "e2e/test_reference_data.hpp"
#include "support/fixtures.hpp"
#include "support/in_process.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::CalcInProcess;
using testing::SearchInProcess;
using testing::TempDir;

// The shipped data, and the test data set with phosphate effects that differ between a residue
// of the phosphate's absolute configuration and one of the other.
enum class tDataSet { kShipped, kTest };

void WriteDataSet(const TempDir& dir, tDataSet set) {
  if (set == tDataSet::kShipped) {
    std::filesystem::copy(testing::SourcePath() + "/data", dir.Path(),
                          std::filesystem::copy_options::recursive);
    return;
  }
  testing::WriteTestReferenceData(dir);
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
  dir.Write("EFFECTS.PS", effects);
}

tResidueTable Names(const TempDir& dir) {
  testing::ScopedWorkingDirectory here(dir.Path());
  tResidueTable residues;
  testing::Captured([&] { EXPECT_TRUE(ReadNamesDatabase(residues)); });
  return residues;
}

// A residue of a random linear repeating unit: its name and how it is written.
struct tUnitResidue {
  std::string Name;  // "P" for the phosphate
  std::string Letters;  // anomeric and absolute letters
};

// Random linear repeating units: sugars of either configuration, alditols and phosphates (never
// two phosphates in a row); each residue carries the one written before it at a random position
// that can take it. The test data set has effects for Hex and Gol only.
class tUnitGenerator {
 public:
  tUnitGenerator(const tResidueTable& residues, tDataSet set, unsigned seed)
      : residues_(residues), random_(seed) {
    for (std::size_t i = 1; i < residues.size(); ++i) {
      const bool usable = set == tDataSet::kShipped
                              ? residues[i].NLinked == 0 && residues[i].RingKind != kNonSugar &&
                                    residues[i].OSubstitutable != 0
                              : residues[i].Name == "Hex" || residues[i].Name == "Gol";
      if (usable) names_.push_back(static_cast<std::uint8_t>(i));
    }
  }

  std::vector<std::string> Tokens(std::size_t count) {
    std::vector<std::string> tokens;
    std::vector<std::uint8_t> types;  // 0 = phosphate
    for (std::size_t i = 0; i < count; ++i) {
      const bool phosphate = Pick(3) == 0 && (i == 0 || types.back() != 0) &&
                             !(i + 1 == count && !types.empty() && types.front() == 0);
      types.push_back(phosphate ? 0 : names_[Pick(names_.size())]);
    }
    for (std::size_t i = 0; i < count; ++i) {
      if (types[i] == 0) {
        tokens.push_back("P");
        continue;
      }
      const tNameRecord& r = residues_[types[i]];
      std::vector<int> positions;
      for (int p = 2; p <= 9; ++p) {
        if (InSet(r.OSubstitutable, static_cast<std::uint8_t>(p))) positions.push_back(p);
      }
      std::string token = std::to_string(positions[Pick(positions.size())]) + ")";
      token += r.RingKind < kAlditol ? (Pick(2) == 0 ? "a" : "b") : "c";
      token += Pick(2) == 0 ? "D" : "L";
      tokens.push_back(token + r.Name);
    }
    return tokens;
  }

 private:
  std::size_t Pick(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_); }

  const tResidueTable& residues_;
  std::mt19937 random_;
  std::vector<std::uint8_t> names_;
};

std::string Record(const std::vector<std::string>& tokens, std::size_t first) {
  std::string record;
  for (std::size_t i = 0; i < tokens.size(); ++i) record += tokens[(first + i) % tokens.size()] + "-";
  return record;
}

// The shifts of the residue written `token`-th (0-based) in a /CALC outcome.
std::vector<std::int32_t> TokenShifts(const testing::tCalcOutcome& calc, std::size_t token) {
  const std::uint8_t node = calc.NodeOfToken.at(token);
  return {calc.Spectrum.begin() + calc.CarbonOffsets.at(node),
          calc.Spectrum.begin() + calc.CarbonOffsets.at(node + 1u)};
}

TEST(CalculationConsistencyTest, PhosphateBeforeOrAfterTheResidueGivesOneSpectrum) {
  TempDir dir;
  WriteDataSet(dir, tDataSet::kShipped);
  const struct {
    const char* record;
    std::size_t glucose;  // token of the glucose
  } rows[] = {{"P-3)aDGlc-", 1}, {"3)aDGlc-P-", 0}};
  std::vector<std::vector<std::int32_t>> glucose;
  for (const auto& row : rows) {
    const auto calc = CalcInProcess(dir.Path(), row.record);
    ASSERT_TRUE(calc.Calculated) << row.record;
    glucose.push_back(TokenShifts(calc, row.glucose));
  }
  EXPECT_EQ(glucose[0], glucose[1]);

  // A search on the spectrum of that unit finds it exactly, whichever residue the task names
  // first.
  std::string spectrum;
  for (const std::int32_t shift : glucose[0]) spectrum += std::to_string(shift) + " ";
  for (const char* composition : {"P aDGlc", "aDGlc P"}) {
    dir.Write("TASK.TSK", std::string(composition) + "\n" + spectrum + "\n");
    const auto search = SearchInProcess(dir.Path(), "TASK");
    ASSERT_TRUE(search.Completed) << composition;
    ASSERT_FALSE(search.Kept.empty());
    EXPECT_EQ(search.Kept.front().Deviation, 0) << composition << "\n" << search.Result;
  }
}

// The main chain of a linear unit can be written from any of its residues: every residue gets the
// same shifts whichever node number it has.
TEST(CalculationConsistencyTest, LinearUnitsFromEveryStartingResidue) {
  for (const tDataSet set : {tDataSet::kShipped, tDataSet::kTest}) {
    TempDir dir;
    WriteDataSet(dir, set);
    const tResidueTable residues = Names(dir);
    tUnitGenerator generator(residues, set, 14);
    int compared = 0;
    for (int unit = 0; unit < 100; ++unit) {
      const auto tokens = generator.Tokens(2 + static_cast<std::size_t>(unit % 4));
      const auto reference = CalcInProcess(dir.Path(), Record(tokens, 0));
      if (!reference.Calculated) continue;  // the data lack an effect of this unit
      ++compared;
      for (std::size_t first = 1; first < tokens.size(); ++first) {
        const auto rotated = CalcInProcess(dir.Path(), Record(tokens, first));
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

// The written form of a kept structure in the notation /CALC reads: side chains close with "]-".
std::string InputForm(std::string written) {
  for (std::size_t at; (at = written.find("]=")) != std::string::npos;) written[at + 1] = '-';
  return written;
}

// Random compositions of two to four residues, written in every order: each order keeps the
// same deviations, and /CALC of every kept structure gives exactly the deviation the search
// reported.
TEST(CalculationConsistencyTest, SearchesScoreEveryStructureAsCalcCalculatesIt) {
  for (const tDataSet set : {tDataSet::kShipped, tDataSet::kTest}) {
    TempDir dir;
    WriteDataSet(dir, set);
    const tResidueTable residues = Names(dir);
    tUnitGenerator generator(residues, set, 41);
    std::mt19937 random(7);
    int searched = 0, checked_structures = 0;
    for (int task = 0; task < 200 && searched < 6; ++task) {
      auto tokens = generator.Tokens(2 + static_cast<std::size_t>(task % 3));
      // The unit's own spectrum, so that good structures exist.
      const auto calc = CalcInProcess(dir.Path(), Record(tokens, 0));
      if (!calc.Calculated) continue;
      std::vector<std::string> composition;
      // The sparse test data hold effects only for the unit's own linkages: its compositions
      // keep them as constraints.
      for (const std::string& token : tokens) {
        if (token == "P") {
          composition.push_back(token);
        } else if (set == tDataSet::kShipped) {
          composition.push_back(token.substr(token.find(')') + 1));
        } else {
          composition.push_back(token.substr(0, token.find(')')) + "x" + token.substr(token.find(')')));
        }
      }
      // The written form of an alditol lacks the letter /CALC needs.
      const bool readable = std::none_of(composition.begin(), composition.end(), [](const std::string& e) {
        return e.find(")c") != std::string::npos || e[0] == 'c';
      });
      if (!readable) continue;
      std::sort(composition.begin(), composition.end());
      if (std::adjacent_find(composition.begin(), composition.end()) != composition.end()) {
        continue;  // two entries of one name: their structures may be kept in either place
      }
      std::string spectrum;
      for (const std::int32_t shift : calc.Spectrum) spectrum += std::to_string(shift + 3) + " ";
      std::vector<std::uint32_t> first_deviations;
      do {
        std::string line;
        for (const std::string& entry : composition) line += entry + " ";
        dir.Write("TASK.TSK", line + "\n" + spectrum + "\nLIMIT: 8\n");
        const auto search = SearchInProcess(dir.Path(), "TASK");
        if (!search.Completed) break;  // some candidate lacks an effect in these data
        std::vector<std::uint32_t> deviations;
        for (std::size_t k = 0; k < search.Kept.size(); ++k) {
          deviations.push_back(search.Kept[k].Deviation);
          const std::string& text = search.KeptText[k];
          const auto again = CalcInProcess(dir.Path(), InputForm(text));
          ASSERT_TRUE(again.Calculated) << text;
          std::vector<std::int32_t> sorted = again.Spectrum;
          std::sort(sorted.begin(), sorted.end());
          ASSERT_EQ(sorted.size(), search.Spectrum.size());
          std::uint32_t sum = 0;
          for (std::size_t c = 0; c < sorted.size(); ++c) sum += std::abs(sorted[c] - search.Spectrum[c]);
          EXPECT_EQ(sum, search.Kept[k].Deviation) << line << ": " << text;
          ++checked_structures;
        }
        if (first_deviations.empty()) first_deviations = deviations;
        EXPECT_EQ(deviations, first_deviations) << line;
      } while (std::next_permutation(composition.begin(), composition.end()));
      ++searched;
    }
    EXPECT_GE(searched, 4);
    EXPECT_GE(checked_structures, 20) << static_cast<int>(set);
  }
}

}  // namespace
}  // namespace glycomb
