// Searches scored residue by residue against spin systems, and with the automatic offset: a
// result file worked out by hand, the offset of a shifted spectrum, and the shipped examples.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/test_reference_data.hpp"
#include "support/in_process.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::RunProgram;
using testing::TempDir;

// Three alpha Hex of the test data, each carrying the next one of a linear unit at the position
// its constraint gives (2, 4 or 6); entry 1 stands on node 0, so there are two sequences. Every
// residue is substituted by an alpha-D-Hex, so its own shifts are those of the one-residue search
// (search_run_test.cpp) and its C1 gets the C1 effect of the residue that carries it:
//   2-linked: 930 800 730 710 725 620, hands on +40; 4-linked: 930 720 730 780 715 620, +30;
//   6-linked: 930 720 740 710 710 685, +20.
// Sequence 2,4,6 (node 0 carried by node 1, 1 by 2, 2 by 0):
//   node 0: 960 800 730 710 725 620; node 1: 950 720 730 780 715 620;
//   node 2: 970 720 740 710 710 685.
// Sequence 2,6,4: node 0: 950 800 730 710 725 620; node 1: 960 720 740 710 710 685;
//   node 2: 970 720 730 780 715 620.
// Against the lines L1 951 722 731 779 716 621, L2 968 721 741 712 709 686 and
// L3 962 798 730 711 726 619 the cheapest assignments are
//   2,4,6: node 0 - L3: 2+2+0+1+1+1 = 7, node 1 - L1: 1+2+1+1+1+1 = 7, node 2 - L2:
//          2+1+1+2+1+1 = 8; 22 over 18 carbons: 0.12 (every other pairing costs over 60 more);
//   2,6,4: node 0 - L3: 12+2+0+1+1+1 = 17, node 1 - L2: 8+1+1+2+1+1 = 14, node 2 - L1:
//          19+2+1+1+1+1 = 25; 56: 0.31.
const char kComposition[] = "2x)aDHex 4x)aDHex 6x)aDHex";
const char kLines[] = "951 722 731 779 716 621\n968 721 741 712 709 686\n962 798 730 711 726 619\n";

TEST(SpinSearchTest, ThreeResiduesWorkedOutByHand) {
  TempDir dir;
  testing::WriteTestReferenceData(dir);
  dir.Write("TASK.TSK", std::string(kComposition) + "\n" + kLines + "SPINSYSTEMS\n");
  const auto result = RunProgram(dir.Path(), {"task"});
  ASSERT_EQ(result.ExitCode, 0) << result.Output;
  EXPECT_NE(result.Output.find("\n2 structures checked.\n"), std::string::npos) << result.Output;
  EXPECT_EQ(dir.Read("TASK.RES"),
            testing::CrLfLines({"The monomeric composition and constraints are:", kComposition,
                  "Scored residue by residue against 3 spin systems (the spectrum lines, "
                  "numbered in the order of the task)",
                  "", "Here are 2 structures that match the spectrum the best:", "", "Linear:",
                  " 1: -2)aDHex--4)aDHex--6)aDHex--\t(xxx)\t Dev.: 0.12\t Spin systems: 3 1 2"
                  "\t Probability: 1.00",
                  " 2: -2)aDHex--6)aDHex--4)aDHex--\t(xxx)\t Dev.: 0.31\t Spin systems: 3 2 1"
                  "\t Probability: 0.00",
                  "Widespread branched:", "absent", "Rarely-ocurring branched:", "absent", "",
                  // Both structures the task allows are kept: nothing is outside the list.
                  "Probability that the structure is none of these: at most 0.00", "",
                  "The best structure carbon by carbon: calculated, measured (spin system, "
                  "offset added) and their difference:",
                  "",
                  "   <residue>      C1    C2    C3    C4    C5    C6 ",
                  "  -2)a-D-Hex-    96.0  80.0  73.0  71.0  72.5  62.0",
                  "   line 3        96.2  79.8  73.0  71.1  72.6  61.9",
                  "   difference    -0.2   0.2   0.0  -0.1  -0.1   0.1",
                  "  -4)a-D-Hex-    95.0  72.0  73.0  78.0  71.5  62.0",
                  "   line 1        95.1  72.2  73.1  77.9  71.6  62.1",
                  "   difference    -0.1  -0.2  -0.1   0.1  -0.1  -0.1",
                  "  -6)a-D-Hex-    97.0  72.0  74.0  71.0  71.0  68.5",
                  "   line 2        96.8  72.1  74.1  71.2  70.9  68.6",
                  "   difference     0.2  -0.1  -0.1  -0.2   0.1  -0.1"}));
}

// The same task with REPORT: what its JSON says of how sure the answer is, worked by hand. The
// sums are 2.2 and 5.6 ppm and T 0.578 ppm: weights 1 and exp(-3.4 / 0.578) = 0.0027882, so
// 0.997220 and 0.002780; both structures the task allows are kept, so nothing is outside. The
// first alone reaches 0.95: every fact of it is settled. Its spin systems are 3 1 2 in written
// order (A = 2)aDHex on line 3, B = 4)aDHex on line 1, C = 6)aDHex on line 2), and the chain is
// A-(1->4)-B-(1->6)-C-(1->2)-A: line 3 is attached at 4 of line 1, line 1 at 6 of line 2,
// line 2 at 2 of line 3. Nothing is open, so no LINK line would decide anything.
TEST(SpinSearchTest, HowSureTheAnswerIsWorkedOutByHand) {
  TempDir dir;
  testing::WriteTestReferenceData(dir);
  dir.Write("TASK.TSK", std::string(kComposition) + "\n" + kLines + "SPINSYSTEMS\nREPORT\n");
  ASSERT_EQ(RunProgram(dir.Path(), {"task"}).ExitCode, 0);
  const auto report = nlohmann::json::parse(dir.Read("TASK.JSON"));
  EXPECT_NEAR(report["structures"][0]["probability"].get<double>(), 0.997220, 1e-6);
  EXPECT_NEAR(report["structures"][1]["probability"].get<double>(), 0.002780, 1e-6);
  EXPECT_EQ(report["outside_list"].get<double>(), 0.0);
  const auto& consensus = report["consensus"];
  EXPECT_EQ(consensus["structures"], nlohmann::json::array({1}));
  EXPECT_TRUE(consensus["deciding"].empty());
  const int carrier[] = {2, 3, 1}, position[] = {6, 2, 4};  // of lines 1, 2, 3
  ASSERT_EQ(consensus["spin_systems"].size(), 3u);
  for (int line = 0; line < 3; ++line) {
    const auto& facts = consensus["spin_systems"][line];
    EXPECT_EQ(facts["spin_system"], line + 1);
    EXPECT_TRUE(facts["residue"]["settled"].get<bool>());
    EXPECT_EQ(facts["residue"]["alternatives"][0]["iupac"], "α-D-Hexp") << line;
    const auto& attached = facts["attached_to"];
    EXPECT_TRUE(attached["settled"].get<bool>());
    EXPECT_EQ(attached["alternatives"][0]["spin_system"], carrier[line]) << line;
    EXPECT_EQ(attached["alternatives"][0]["position"], position[line]) << line;
  }
}

// Alx whose beta form lies 2.0 ppm below the alpha form at every carbon (every effect on Alx is
// zero): alpha 150.0 120.0 130.0 140.0 130.5 70.2, beta 148.0 118.0 128.0 138.0 128.5 68.2 once
// the ring corrections are applied.
constexpr char kBetaAlxTwoPpmBelow[] =
    "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0 148.0 119.0 128.0 138.0 128.5  68.2\n";

// What the entry lines say about the offset and the spin systems chosen:
// - the spectrum of sequence 2,4,6 lowered by `shift` tenths is referenced back by +shift within
//   -5.0..+5.0 ppm (Dev. 0.00), and by the nearest end beyond it, every carbon then 1.3 ppm off
//   (Dev. 1.30), in either score;
// - an offset of zero is written without a sign, a phosphate matched to no line as "-";
// - equal residue-matched sums at two offsets: with lines L1, L2 against alpha A and beta B,
//   A-L1, B-L2 at +0.3 costs 14+26 per pair of carbons, 120 in all, and so does A-L2, B-L1 at
//   -0.3, every other offset more (138 at 0): the lower of the two equally near zero is taken;
// - with other lines A-L1, B-L2 costs 120 at +0.2 and nowhere else as little; A-L2, B-L1 costs
//   120 from -1.8 to -0.4 (where the sorted comparison starts): +0.2, nearer zero, is taken.
TEST(SpinSearchTest, EntryLinesGiveTheOffsetAndSpinSystemsChosen) {
  TempDir dir;
  testing::WriteTestReferenceData(dir);
  dir.Write("c13data/B-ALX.DAT", kBetaAlxTwoPpmBelow);
  const std::vector<std::vector<int>> sequence_246 = {{960, 800, 730, 710, 725, 620},
                                                      {950, 720, 730, 780, 715, 620},
                                                      {970, 720, 740, 710, 710, 685}};
  const char* const structure_246 = "-2)aDHex--4)aDHex--6)aDHex--\t(xxx)";
  struct tRow {
    const char* composition;
    std::vector<std::vector<int>> lines;
    int shift;  // subtracted from every line value
    const char* options;
    const char* structure;  // the entry lines checked: those that begin so, or all
    std::string scored;     // what every entry line checked holds after the structure
  };
  std::vector<tRow> rows = {
      {"P 4x)aDHex", {{955, 710, 735, 750, 720, 620}}, 0, "SPINSYSTEMS\nCORRECTION: AUTO\n",
       "-P--4)aDHex--\t(xx)", "\t Dev.: 0.00\t Offset: 0.0\t Spin systems: - 1\r\n"},
      {"aDAlx bDAlx",
       {{1497, 1183, 1297, 1383, 1302, 685}, {1477, 1203, 1277, 1403, 1282, 705}},
       0, "SPINSYSTEMS\nCORRECTION: AUTO\n", "", "\t Dev.: 1.00\t Offset: -0.3\t Spin systems: "},
      {"aDAlx bDAlx",
       {{1498, 1198, 1298, 1398, 1303, 700}, {1504, 1204, 1304, 1404, 1299, 680}},
       0, "SPINSYSTEMS\nCORRECTION: AUTO\n", "", "\t Dev.: 1.00\t Offset: +0.2\t Spin systems: "},
  };
  // The ends of the range, reached and passed, in either score.
  for (const bool spin : {false, true}) {
    for (const int shift : {-50, 50, -63, 63}) {
      rows.push_back({kComposition, sequence_246, shift,
                      spin ? "SPINSYSTEMS\nCORRECTION: AUTO\n" : "CORRECTION: AUTO\n",
                      structure_246,
                      std::string("\t Dev.: ") + (std::abs(shift) > 50 ? "1.30" : "0.00") +
                          "\t Offset: " + (shift < 0 ? "-5.0" : "+5.0") +
                          (spin ? "\t Spin systems: 1 2 3" : "") + "\r\n"});
    }
  }
  for (const auto& row : rows) {
    std::string task = std::string(row.composition) + "\n";
    for (const auto& line : row.lines) {
      for (const int value : line) task += std::to_string(value - row.shift) + " ";
      task += "\n";
    }
    task += row.options;
    dir.Write("TASK.TSK", task);
    const auto search = testing::SearchInProcess(dir.Path(), "TASK", {false, 1});
    ASSERT_TRUE(search.Completed) << task << search.Output;
    std::istringstream result(search.Result);
    int checked = 0;
    for (std::string line; std::getline(result, line, '\n');) {
      const std::size_t structure = line.find(": -");
      if (structure == std::string::npos || line.find('\t') < structure ||
          line.compare(structure + 2, std::strlen(row.structure), row.structure) != 0) {
        continue;
      }
      ++checked;
      EXPECT_NE((line + "\n").find(row.scored, structure), std::string::npos) << task << line;
    }
    EXPECT_GT(checked, 0) << task << search.Result;
  }
}

// The shipped examples: the published structure of 33E ranks first when scored residue by residue
// and is kept by the plain search of EXAMPLE.TSK. For 33F a structure that exchanges the
// beta-D-Glcp and the 5-linked beta-D-Galf of the main chain fits a little better (0.63 against
// 0.64); the published one ranks second, and first with the two LINK lines of LINKS33F.
TEST(SpinSearchTest, ShippedExamplesRankThePublishedStructures) {
  TempDir dir;
  testing::CopyShippedData(dir);
  const struct {
    const char* task;
    const char* published;
  } cases[] = {
      {"SPINS33E", "\r\n 1: -3)bDGal--3)aDGal--3)bDGalf--3)bDGlc--5)bDGalf--\t"},
      {"SPINS33F", "\r\n 2: -[aDGal-]=2]3)aDGal--3)bDGalf--3)bDGlc--5)bDGalf--3)bDGal--\t"},
      {"LINKS33F", "\r\n 1: -[aDGal-]=2]3)aDGal--3)bDGalf--3)bDGlc--5)bDGalf--3)bDGal--\t"},
      {"EXAMPLE", ": -3)bDGal--3)aDGal--3)bDGalf--3)bDGlc--5)bDGalf--\t"},
  };
  for (const auto& c : cases) {
    const auto result = RunProgram(dir.Path(), {c.task});
    ASSERT_EQ(result.ExitCode, 0) << result.Output;
    const std::string kept = dir.Read(std::string(c.task) + ".RES");
    EXPECT_NE(kept.find(c.published), std::string::npos) << kept;
  }
}

}  // namespace
}  // namespace glycomb
