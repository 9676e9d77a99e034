// Searches of three to five Alx residues, in which every candidate gets the same deviation, so
// that the result file and the number of structures checked follow from the order of generation
// alone; the expected figures come from the independent model in search_model.hpp.
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "console/formatting.hpp"
#include "e2e/search_model.hpp"
#include "e2e/test_reference_data.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::ModelComposition;
using testing::tModelResidue;
using testing::tSearchModel;

// Every effect on Alx is zero and either of its forms sums to 7407 tenths over six carbons (see
// the data set), so against an experimental spectrum of zeros every candidate deviates by
// 7407 per residue: a mean of 7407 / 60 = 123.45 ppm per carbon, which is 123.5 at four
// significant digits (half away from zero) and is written 123.50.
const char kAlxMean[] = "123.50";

const std::map<std::string, tModelResidue> kResidues = {
    {"Alx", {"Alx", 6, {3, 4}, {}, false, 0}},
    {"Hex", {"Hex", 6, {2, 3, 4, 6}, {}, false, 0}},
    {"Gol", {"Gol", 3, {2, 3}, {}, false, 2}},
};

std::string Zeros(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += i == 0 ? "0" : " 0";
  return text;
}

TEST(SearchEnumerationTest, EqualDeviationsKeepTheFirstCandidatesInGenerationOrder) {
  const struct {
    const char* composition;
    bool widespread;
    int limit;
    const char* estimate;  // (n - 1)! times the start nodes of the searched topologies
    int sequences;         // the estimate less the placements a symmetric node rejects
  } cases[] = {
      {"a?Alx ?DAlx 4?)bDAlx", false, 40, "14", 14},
      // The second entry needs two children, so no linear structure; fewer structures than the
      // limit, so the table keeps every one that is not a duplicate.
      {"aDAlx 34)bDAlx aDAlx ?x)bDAlx", false, 99, "108", 102},
      {"aDAlx 34)bDAlx aDAlx ?x)bDAlx", true, 99, "66", 66},
      {"aDAlx aDAlx aDAlx aDAlx aDAlx", false, 20, "1056", 984},
      {"aDAlx aDAlx aDAlx aDAlx aDAlx", true, 20, "384", 384},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.composition + std::string(c.widespread ? " WIDESPREAD" : ""));
    tSearchModel model(ModelComposition(c.composition, kResidues), c.widespread, c.limit);
    const testing::tModelResult expected = model.Run();
    EXPECT_EQ(expected.Sequences, c.sequences);

    testing::TempDir dir;
    testing::WriteTestReferenceData(dir);
    const std::size_t residues = ModelComposition(c.composition, kResidues).size();
    dir.Write("ALX.TSK", std::string(c.composition) + "\n" + Zeros(6 * residues) + "\n" +
                             (c.widespread ? "WIDESPREAD\n" : "") + "LIMIT: " +
                             std::to_string(c.limit) + "\n");
    const auto result = testing::RunProgram(dir.Path(), {"alx"});
    EXPECT_EQ(result.ExitCode, 0);
    const std::string& output = result.Output;
    EXPECT_NE(output.find("\nPressing Ctrl-Break cancels the calculation\n"
                          "The top estimation for the number of sequences is " +
                          std::string(c.estimate) + "\nSequence now: 1 (0.00%)"),
              std::string::npos)
        << output;
    const std::string last = "Sequence now: " + std::to_string(c.sequences) + " (";
    EXPECT_NE(output.find(last), std::string::npos);
    EXPECT_EQ(output.find("Sequence now: " + std::to_string(c.sequences + 1) + " ("),
              std::string::npos);
    EXPECT_NE(output.find(" structures checked.\n"), std::string::npos);
    EXPECT_NE(output.find("\n" + FormatCount(expected.Scored) + " structures checked.\n"),
              std::string::npos)
        << "expected " << expected.Scored << " in\n" << output.substr(output.rfind('\r') + 1);
    EXPECT_EQ(dir.Read("ALX.RES"),
              ModelResultFile(model, expected, c.composition, c.widespread, kAlxMean));
  }
}

// With WIDESPREAD the alditol Gol hangs only on the phosphate, which carries one residue, at its
// position 2. The deviations differ, but with a limit above the number of structures the table
// keeps all of them: the result lists exactly the model's structures, ranked by deviation.
TEST(SearchEnumerationTest, AlditolHangsOnThePhosphateInWidespreadMode) {
  const char kComposition[] = "aDHex P cDGol";
  tSearchModel model(ModelComposition(kComposition, kResidues), true, 99);
  const testing::tModelResult expected = model.Run();
  std::multiset<std::string> expected_lines;
  for (const auto& candidate : expected.Kept) {
    expected_lines.insert(model.Text(candidate) + "\t(" + model.Shape(candidate) + ")");
  }

  testing::TempDir dir;
  testing::WriteTestReferenceData(dir);
  dir.Write("PH.TSK", std::string(kComposition) +
                          "\n620 710 720 730 790 960 630 730 630\nWIDESPREAD\nLIMIT: 99\n");
  const auto result = testing::RunProgram(dir.Path(), {"ph"});
  EXPECT_NE(result.Output.find("\n" + std::to_string(expected.Scored) + " structures checked.\n"),
            std::string::npos)
      << result.Output;
  const std::string report = dir.Read("PH.RES");
  EXPECT_NE(report.find("Here are " + std::to_string(expected.Kept.size()) + " structures"),
            std::string::npos);
  EXPECT_TRUE(report.ends_with("Rarely-ocurring branched:\r\nskipped\r\n")) << report;

  // Entry lines: rank, ": ", structure, tab, shape, tab, " Dev.: ", mean deviation.
  std::multiset<std::string> lines;
  std::map<int, double> deviation_of_rank;
  for (std::size_t start = 0, end; (end = report.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    const std::string line = report.substr(start, end - start);
    const std::size_t colon = line.find(": ");
    const std::size_t deviation = line.find("\t Dev.: ");
    if (deviation == std::string::npos) continue;
    const int rank = std::stoi(line.substr(0, colon));
    EXPECT_EQ(line.substr(0, colon), (rank <= 9 ? " " : "") + std::to_string(rank));
    lines.insert(line.substr(colon + 2, deviation - colon - 2));
    EXPECT_TRUE(deviation_of_rank.emplace(rank, std::stod(line.substr(deviation + 8))).second);
  }
  EXPECT_EQ(lines, expected_lines);
  // Ranks 1..N over the whole table, whatever the section, in the order of the deviations.
  int rank = 0;
  double previous = 0;
  for (const auto& [r, deviation] : deviation_of_rank) {
    EXPECT_EQ(r, ++rank);
    EXPECT_GE(deviation, previous) << r;
    previous = deviation;
  }
}

}  // namespace
}  // namespace glycomb
