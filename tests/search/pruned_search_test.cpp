// The pruned, threaded search against the literal enumeration: on random tasks over the shipped
// and a small test data set, with every kind of composition entry and option, both print the same,
// write the same result file and count the same structures checked, on one thread and on several.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "console/checked.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/internal/pass_result.hpp"
#include "search/search.hpp"
#include "support/in_process.hpp"
#include "support/random_tasks.hpp"

namespace glycomb {
namespace {

using testing::SearchInProcess;
using testing::tSearchMode;
using testing::TempDir;
using testing::tTaskGenerator;

// What a run printed, with the time left masked and every run of progress lines cut to its last
// line, which ends the run of them: which lines come before it depends on timing.
std::string LastProgressLines(const std::string& output) {
  const std::string progress = "Sequence now: ";
  std::string kept;
  for (std::size_t at = 0, end; at < output.size(); at = end) {
    end = std::min(output.find('\r', at), output.size() - 1) + 1;
    std::string line = output.substr(at, end - at);
    if (!line.starts_with(progress)) {
      kept += line;
    } else if (output.compare(end, progress.size(), progress) != 0) {
      kept += line.substr(0, line.find(", time left")) + "\r";
    }
  }
  return kept;
}

// Whether an entry of the composition (the task's first line) leaves a configuration open.
bool OpenConfiguration(const std::string& task) {
  std::istringstream composition(task.substr(0, task.find('\n')));
  for (std::string entry; composition >> entry;) {
    entry = entry.substr(entry.find(')') + 1);  // after the constraint, if any
    if (entry.size() > 2 && (entry[0] == '?' || entry[1] == '?')) return true;
  }
  return false;
}

// Both print the same (the progress line of the sequence that fails last, then the message), and
// the completed ones write the same file and count the same. Besides the random tasks, tasks of
// the test data that end at a candidate that cannot be calculated: in the first sequence, in a
// later sequence of the first pass, in later passes; and one whose entries differ in their first
// position constraint alone, with two equal entries, so that outcomes of sequences are replayed.
// And tasks of the shipped data whose coarse spectra make different structures tie, with an entry
// whose open configuration can make it the twin of another: the records of replayed subtrees must
// enter in the order of generation, or the table keeps the wrong one of two equal candidates.
TEST(PrunedSearchTest, SameResultAndCountAsTheLiteralEnumeration) {
  std::vector<std::string> fixed_tasks[2] = {
      {"bDGlc b?Glc bDGlc\n1000 1000 800 1000 600 1000\n800 1000 800 1000 1000 800\n"
       "1000 1000 600 800 1000 1000\nLIMIT: 2\n",
       "aDGal a?Gal ?DGlc\n600 800 1000 600 1000 600\n800 800 800 1000 1000 1000\n"
       "1000 1000 1000 1000 800 600\nLIMIT: 1\n"},
      {}};
  for (const std::string composition :
       {"aDHex 3x)aDHex bDHex", "3x)aDHex aDHex bDHex", "3x)aDHex 3x)aDHex 3?)aDHex bDHex",
        "xx)aDHex 3x)aDHex aDHex bDHex", "3?)aDHex 4?)aDHex aDHex aDHex"}) {
    std::string task = composition + "\n";
    const auto residues = std::count(composition.begin(), composition.end(), ' ') + 1;
    for (long carbon = 0; carbon < 6 * residues; ++carbon) task += "700 ";  // six per Hex
    fixed_tasks[1].push_back(task + "\n");
  }
  int tasks = 0, completed = 0, failed = 0, open = 0;
  std::int64_t checked = 0, scored = 0;
  for (const bool test_data : {false, true}) {
    const testing::tDataSetDir data(test_data);
    const std::string& dir = data.Dir.Path();
    tTaskGenerator generator(data.Residues, test_data, test_data ? 11 : 5);
    const std::size_t generated = test_data ? 240 : 400;
    const std::vector<std::string>& fixed = fixed_tasks[test_data];
    // Half the random tasks with LINK lines (and, half of those, DISTINCT), on either thread count.
    for (std::size_t i = 0; i < generated + fixed.size(); ++i) {
      const std::string task =
          i < generated ? generator.Task((i / 2) % 2 == 1) : fixed[i - generated];
      data.Dir.Write("TASK.TSK", task);
      const auto literal = SearchInProcess(dir, "TASK");
      ++tasks;
      open += OpenConfiguration(task);
      completed += literal.Completed;
      failed += literal.Output.find("Could not find") != std::string::npos;
      // One thread, and two or three.
      for (const unsigned threads : {1u, 2u + static_cast<unsigned>(i % 2)}) {
        const auto pruned = SearchInProcess(dir, "TASK", tSearchMode{false, threads});
        ASSERT_EQ(pruned.Completed, literal.Completed) << task << pruned.Output;
        EXPECT_EQ(LastProgressLines(pruned.Output), LastProgressLines(literal.Output))
            << task << "threads " << threads;
        EXPECT_EQ(pruned.Result, literal.Result) << task << "threads " << threads;
        EXPECT_EQ(pruned.Checked, literal.Checked) << task << "threads " << threads;
        if (threads == 1 && literal.Completed) {
          checked += pruned.Checked;
          scored += pruned.Scored;
        }
      }
    }
  }
  EXPECT_GE(completed, tasks / 2);
  EXPECT_GE(failed, 20);
  // Open configurations are where the descent departs most from the order of generation.
  EXPECT_GE(open, tasks / 3) << open << " of " << tasks;
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
  testing::CopyShippedData(dir);
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
      std::atomic<bool> thrown{false};
      tSearchOptions options;
      options.Threads = threads;
      // A worker that took a later pass waits until the exception has been thrown, and a moment
      // more for the search to see it: it may finish that pass, but take no other.
      options.BeforePass = [&](std::size_t pass) {
        ++begun;
        if (pass == failing) {
          thrown = true;
          throw ECheckFailed("range check error: test");
        }
        if (pass < failing) return;
        while (!thrown) std::this_thread::yield();
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
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
