// The pruned, threaded search against the literal enumeration: on random tasks over the shipped
// and a small test data set, with every kind of composition entry and option, both write the same
// result file and count the same structures checked, on one thread and on several.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "console/checked.hpp"
#include "databases/names_database.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/search.hpp"
#include "search/internal/pass_result.hpp"
#include "e2e/test_reference_data.hpp"
#include "support/fixtures.hpp"
#include "support/in_process.hpp"
#include "support/program_runner.hpp"
#include "support/random_tasks.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::SearchInProcess;
using testing::tSearchMode;
using testing::TempDir;
using testing::tTaskGenerator;

// The end of what a failed run printed: its message.
std::string Message(const std::string& output) {
  const std::size_t at = output.rfind('\r');
  return at == std::string::npos ? output : output.substr(at + 1);
}

TEST(PrunedSearchTest, SameResultAndCountAsTheLiteralEnumeration) {
  int tasks = 0, completed = 0;
  std::int64_t checked = 0, scored = 0;
  for (const bool test_data : {false, true}) {
    TempDir dir;
    if (test_data) {
      testing::WriteTestReferenceData(dir);
    } else {
      std::filesystem::copy(testing::SourcePath() + "/data", dir.Path(),
                            std::filesystem::copy_options::recursive);
    }
    tResidueTable residues;
    {
      testing::ScopedWorkingDirectory here(dir.Path());
      testing::Captured([&] { ASSERT_TRUE(ReadNamesDatabase(residues)); });
    }
    tTaskGenerator generator(residues, test_data, test_data ? 11 : 5);
    // Every other task with LINK lines (and, half of those, DISTINCT).
    for (int i = 0; i < (test_data ? 240 : 400); ++i) {
      const std::string task = generator.Task(i % 2 == 1);
      dir.Write("TASK.TSK", task);
      const auto literal = SearchInProcess(dir.Path(), "TASK");
      ++tasks;
      for (const unsigned threads : {1u, 3u}) {
        const auto pruned = SearchInProcess(dir.Path(), "TASK", tSearchMode{false, threads});
        ASSERT_EQ(pruned.Completed, literal.Completed) << task << pruned.Output;
        if (!literal.Completed) {
          EXPECT_EQ(Message(pruned.Output), Message(literal.Output)) << task;
          continue;
        }
        EXPECT_EQ(pruned.Result, literal.Result) << task << "threads " << threads;
        EXPECT_EQ(pruned.Checked, literal.Checked) << task << "threads " << threads;
        if (threads == 1) {
          checked += pruned.Checked;
          scored += pruned.Scored;
        }
      }
      if (literal.Completed) ++completed;
    }
  }
  EXPECT_GE(completed, tasks / 2);
  // The bounds must spare a good part of the work, or they are not working.
  EXPECT_LT(scored, checked / 2) << scored << " of " << checked;
}

// A pass counts in 64 bits: the candidates of skipped subtrees beyond 2^31, and the recorded
// ones that are not duplicates of kept entries.
TEST(PrunedSearchTest, MergedCountsBeyondThirtyTwoBits) {
  tBestStructures best;
  best.Create(2, 1, {0, 7});
  tStructure candidate;
  candidate.Nodes.resize(1);
  tPassResult result;
  result.Unrecorded = 3'000'000'000;
  for (const int position : {3, 4, 3}) {  // the third is a duplicate of the first
    result.Topologies.push_back(0);
    result.Nodes.push_back({1, 0, 0, static_cast<std::uint8_t>(position), 0});
    result.Scores.push_back(tScore{.Sum = static_cast<std::uint32_t>(position)});
  }
  EXPECT_EQ(MergePassResult(result, best, candidate), 3'000'000'002);
  EXPECT_EQ(best.BestCount(), 2);
}

// An exception inside a worker (an internal check failing) ends every worker: no pass begins after
// it, and the caller gets the exception once all threads have joined.
TEST(PrunedSearchTest, AnExceptionInAWorkerEndsEveryWorkerAndReachesTheCaller) {
  TempDir dir;
  std::filesystem::copy(testing::SourcePath() + "/data", dir.Path(),
                        std::filesystem::copy_options::recursive);
  dir.Write("TASK.TSK", "aDGlc bDGal aDMan bDGlc\n" + std::string(
                            "1000 720 740 700 730 610 1040 710 730 690 760 620\n"
                            "1010 700 720 680 740 615 1045 735 745 705 765 625\n"));
  for (const unsigned threads : {1u, 3u}) {
    for (const std::size_t failing : {0u, 3u, 8u}) {
      tRun run;
      ASSERT_TRUE(testing::LoadInProcess(dir.Path(), "TASK", run));
      const tMeasuredSpectrum measured(run.Task);
      run.BestStructures.Create(run.Task.Limit, run.Task.ResidueCount, {0, 1, 2, 3, 4});
      std::atomic<std::size_t> begun{0};
      tSearchOptions options;
      options.Threads = threads;
      options.BeforePass = [&](std::size_t pass) {
        ++begun;
        if (pass == failing) throw ECheckFailed("range check error: test");
      };
      const std::atomic<bool> go{true};
      const tStopToken never(go);
      testing::Captured([&] {
        EXPECT_THROW(RunSearch({run.Task, run.Residues, run.Topologies, run.Shifts, measured},
                               run.BestStructures, options, never),
                     ECheckFailed);
      });
      EXPECT_LE(begun.load(), failing + threads) << threads << " threads, pass " << failing;
    }
  }
}

}  // namespace
}  // namespace glycomb
