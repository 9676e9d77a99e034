// Searches of three to five Alx residues, in which every candidate gets the same deviation, so
// that the result file and the number of structures checked follow from the order of generation
// alone; the expected figures come from the independent model of the search.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "console/formatting.hpp"
#include "e2e/test_reference_data.hpp"
#include "input/task_file.hpp"
#include "support/fixtures.hpp"
#include "support/program_runner.hpp"
#include "support/search_model.hpp"

namespace glycomb {
namespace {

// Every effect on Alx is zero and either of its forms sums to 7407 tenths over six carbons (see
// the data set), so against an experimental spectrum of zeros every candidate deviates by
// 7407 per residue: a mean of 7407 / 60 = 123.45 ppm per carbon, which is 123.5 at four
// significant digits (half away from zero) and is written 123.50.
const char kAlxMean[] = "123.50";

// The result file of the kept structures of the model, each with the mean deviation of Alx.
std::string ModelResultFile(const testing::tSearchModel& model, const tTask& task,
                            const testing::tModelResult& result) {
  const std::size_t kept = std::min<std::size_t>(task.Limit, result.Scored.size());
  std::string file = "The monomeric composition and constraints are:\r\n" + task.CompositionText +
                     "\r\n\r\nHere are " + std::to_string(kept) +
                     " structures that match the spectrum the best:\r\n\r\n";
  const char* sections[] = {"Linear:", "Widespread branched:", "Rarely-ocurring branched:"};
  for (std::uint8_t shape = 0; shape < 3; ++shape) {
    file += std::string(sections[shape]) + "\r\n";
    bool any = false;
    for (std::size_t k = 0; k < kept; ++k) {
      const tTopology& topology = model.Topologies()[result.Scored[k].Topology];
      if (topology.Shape != shape) continue;
      any = true;
      std::string written_shape;
      for (char c : topology.Template) {
        if (c == '[' || c == ']' || c == 'x') written_shape += c;
      }
      file += (k < 9 ? " " : "") + std::to_string(k + 1) + ": " + model.Text(result.Scored[k]) +
              "\t(" + written_shape + ")\t Dev.: " + kAlxMean + "\r\n";
    }
    if (!any) file += shape == 2 && task.WideSpread != 0 ? "skipped\r\n" : "absent\r\n";
  }
  return file;
}

TEST(SearchEnumerationTest, EqualDeviationsKeepTheFirstCandidatesInGenerationOrder) {
  const struct {
    const char* task;
    const char* estimate;  // (n - 1)! times the start nodes of the searched topologies
    int sequences;         // the estimate less the placements a symmetric node rejects
  } cases[] = {
      {"a?Alx ?DAlx 4?)bDAlx\nLIMIT: 40", "14", 14},
      // The second entry needs two children, so no linear structure; fewer structures than the
      // limit, so the table keeps every one that is not a duplicate.
      {"aDAlx 34)bDAlx aDAlx ?x)bDAlx\nLIMIT: 99", "108", 102},
      {"aDAlx 34)bDAlx aDAlx ?x)bDAlx\nLIMIT: 99\nWIDESPREAD", "66", 66},
      {"aDAlx aDAlx aDAlx aDAlx aDAlx", "1056", 984},
      {"aDAlx aDAlx aDAlx aDAlx aDAlx\nWIDESPREAD", "384", 384},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.task);
    testing::TempDir dir;
    testing::WriteTestReferenceData(dir);
    const std::string text = c.task, composition = text.substr(0, text.find('\n'));
    const auto residues = std::count(composition.begin(), composition.end(), ' ') + 1;
    std::string zeros = "0";
    for (long i = 1; i < 6 * residues; ++i) zeros += " 0";
    dir.Write("ALX.TSK", composition + "\n" + zeros + text.substr(composition.size()));
    const tResidueTable names = testing::ReadNames(dir, testing::kTestNamesFile);
    tTask task;
    ASSERT_TRUE(ReadTaskFile(dir / "ALX.TSK", names, task));
    testing::tSearchModel model(task, names);
    const testing::tModelResult expected = model.Run();
    EXPECT_EQ(expected.Sequences, c.sequences);

    const auto result = testing::RunProgram(dir.Path(), {"alx"});
    EXPECT_EQ(result.ExitCode, 0);
    const std::string& output = result.Output;
    EXPECT_NE(output.find("\nPressing Ctrl-Break cancels the calculation\n"
                          "The top estimation for the number of sequences is " +
                          std::string(c.estimate) + "\nSequence now: 1 (0.00%)"),
              std::string::npos)
        << output;
    EXPECT_NE(output.find("Sequence now: " + std::to_string(c.sequences) + " ("),
              std::string::npos);
    EXPECT_EQ(output.find("Sequence now: " + std::to_string(c.sequences + 1) + " ("),
              std::string::npos);
    const auto scored = static_cast<std::int32_t>(expected.Scored.size());
    EXPECT_NE(output.find("\n" + FormatCount(scored) + " structures checked.\n"), std::string::npos)
        << "expected " << scored << " in\n" << output.substr(output.rfind('\r') + 1);
    EXPECT_EQ(dir.Read("ALX.RES"), ModelResultFile(model, task, expected));
  }
}

}  // namespace
}  // namespace glycomb
