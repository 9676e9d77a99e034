// Searches of three to five Alx residues, in which every candidate gets the same deviation, so
// that the kept structures and the number of structures checked follow from the order of
// generation alone; the expected figures come from the independent model of the search. One
// thread and three print and write the same.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "console/formatting.hpp"
#include "e2e/test_reference_data.hpp"
#include "input/structure_notation.hpp"
#include "input/task_file.hpp"
#include "support/fixtures.hpp"
#include "support/program_runner.hpp"
#include "support/search_model.hpp"

namespace glycomb {
namespace {

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

    std::string output, file;
    for (const char* threads : {"1", "3"}) {
      const testing::ScopedThreads use(threads);
      std::filesystem::remove(dir / "ALX.RES");
      const auto run = testing::RunProgram(dir.Path(), {"alx"});
      EXPECT_EQ(run.ExitCode, 0);
      if (output.empty()) {
        output = testing::MaskElapsedTime(run.Output);
        file = dir.Read("ALX.RES");
      } else {
        EXPECT_EQ(testing::MaskElapsedTime(run.Output), output);
        EXPECT_EQ(dir.Read("ALX.RES"), file);
      }
    }
    // After the estimate the first sequence is shown, the last one ends the progress lines, and
    // none is shown beyond it (which lines come between depends on the time they take).
    std::size_t at = output.find("\nPressing Ctrl-Break cancels the calculation\n"
                                 "The top estimation for the number of sequences is " +
                                 std::string(c.estimate) + "\nSequence now: 1 (");
    ASSERT_NE(at, std::string::npos) << output;
    const std::string last = "Sequence now: " + std::to_string(c.sequences) + " (";
    EXPECT_NE(output.find(last, at), std::string::npos) << output;
    EXPECT_EQ(output.find("Sequence now: " + std::to_string(c.sequences + 1) + " ("),
              std::string::npos);
    const auto scored = static_cast<std::int32_t>(expected.Scored.size());
    EXPECT_NE(output.find("\n" + FormatCount(scored) + " structures checked.\n"), std::string::npos)
        << "expected " << scored << " in\n" << output.substr(output.rfind('\r') + 1);
    // The first Limit candidates of the model in rank order, each deviating by 7407 tenths per
    // residue (every effect on Alx is zero and either of its forms sums to 740.7 ppm over six
    // carbons): a mean of 123.45 ppm, 123.5 at four significant digits, written 123.50.
    const std::size_t kept = std::min<std::size_t>(task.Limit, expected.Scored.size());
    EXPECT_NE(file.find("\r\nHere are " + std::to_string(kept) + " structures"), std::string::npos);
    for (std::size_t k = 0; k <= kept; ++k) {
      const std::string rank = (k < 9 ? "\r\n " : "\r\n") + std::to_string(k + 1) + ": ";
      const std::size_t line = file.find(rank);
      ASSERT_EQ(line == std::string::npos, k == kept) << rank;
      if (k == kept) break;
      const std::size_t from = line + rank.size();
      const std::string entry = file.substr(from, file.find('\r', from) - from);
      std::string shape, written;
      StructureToText(expected.Scored[k], model.Topologies(), task, names, shape, written);
      EXPECT_EQ(entry, written + "\t(" + shape + ")\t Dev.: 123.50");
    }
  }
}

}  // namespace
}  // namespace glycomb
