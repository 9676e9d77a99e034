// The search on several threads as the program runs it: the console shows every sequence once and
// in order, the result file and the count are those of one thread, and a stop request ends the run
// after the sequences in progress, without a result file.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>

#include "databases/names_database.hpp"
#include "e2e/test_reference_data.hpp"
#include "support/fixtures.hpp"
#include "support/in_process.hpp"
#include "support/program_runner.hpp"
#include "support/random_tasks.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::ProgramSession;
using testing::RunProgram;
using testing::TempDir;

// Sets GLYCOMB_THREADS for the programs started while alive.
class ScopedThreads {
 public:
  explicit ScopedThreads(const char* count) { setenv("GLYCOMB_THREADS", count, 1); }
  ~ScopedThreads() { unsetenv("GLYCOMB_THREADS"); }
  ScopedThreads(const ScopedThreads&) = delete;
  ScopedThreads& operator=(const ScopedThreads&) = delete;
};

// The output with every time left and the elapsed time replaced by "T".
std::string WithoutTimes(std::string output) {
  for (const auto& [from, to] : {std::pair<std::string, std::string>{"time left: ", "min"},
                                 {"Elapsed time is ", " "}}) {
    for (std::size_t at = output.find(from); at != std::string::npos; at = output.find(from, at)) {
      at += from.size();
      const std::size_t end = output.find(to, at);
      output.replace(at, end - at, "T");
    }
  }
  return output;
}

// The output with times masked and every run of progress lines cut to its last line, which
// ends the run of them: which lines come before it may depend on timing.
std::string LastProgressLines(const std::string& output) {
  const std::string masked = WithoutTimes(output);
  std::string kept;
  const std::string progress = "Sequence now: ";
  for (std::size_t at = 0; at < masked.size();) {
    const std::size_t end = masked.find('\r', at);
    const bool line = masked.compare(at, progress.size(), progress) == 0 && end != std::string::npos;
    const bool another = line && masked.compare(end + 1, progress.size(), progress) == 0;
    if (!another) kept += masked.substr(at, end == std::string::npos ? end : end + 1 - at);
    at = end == std::string::npos ? masked.size() : end + 1;
  }
  return kept;
}

void CopyData(const TempDir& dir, const std::string& task) {
  std::filesystem::copy(testing::SourcePath() + "/data", dir.Path(),
                        std::filesystem::copy_options::recursive);
  std::filesystem::copy_file(testing::SourcePath() + "/bench/" + task + ".TSK",
                             dir / (task + ".TSK"));
}

TEST(ThreadedSearchTest, TwoThreadsShowAndWriteWhatOneThreadDoes) {
  TempDir dir;
  CopyData(dir, "SEARCH5");
  std::string output[2], result[2];
  for (const int threads : {1, 2}) {
    ScopedThreads use(threads == 1 ? "1" : "2");
    const auto run = RunProgram(dir.Path(), {"SEARCH5"});
    ASSERT_EQ(run.ExitCode, 0) << run.Output;
    output[threads - 1] = WithoutTimes(run.Output);
    result[threads - 1] = dir.Read("SEARCH5.RES");
    std::filesystem::remove(dir / "SEARCH5.RES");
  }
  EXPECT_EQ(LastProgressLines(output[1]), LastProgressLines(output[0]));
  EXPECT_EQ(result[1], result[0]);
  // The last line shows the last sequence.
  EXPECT_NE(output[1].find("Sequence now: 984 ("), std::string::npos);
  EXPECT_EQ(output[1].find("Sequence now: 985 ("), std::string::npos);
}

// Runs TASK.TSK in `dir` on 1, 2 and 3 threads; returns what one thread printed and wrote, after
// checking that the others print and write the same.
std::string SameOnEveryThreadCount(const TempDir& dir, const std::string& task) {
  std::string first;
  for (const char* threads : {"1", "2", "3"}) {
    ScopedThreads use(threads);
    std::filesystem::remove(dir / "TASK.RES");
    const auto run = RunProgram(dir.Path(), {"TASK"});
    const std::string printed =
        LastProgressLines(run.Output) +
        (std::filesystem::exists(dir / "TASK.RES") ? dir.Read("TASK.RES") : "no result");
    if (threads[0] == '1') {
      first = printed;
    } else {
      EXPECT_EQ(printed, first) << threads << " threads\n" << task;
    }
  }
  return first;
}

// Tasks of the test data that end at a candidate that cannot be calculated: in the first
// sequence, in a later sequence of the first pass, in later passes. The run shows the progress
// line of that sequence last, never one of a later sequence, whatever the number of threads.
TEST(ThreadedSearchTest, ARunEndsAtTheSequenceThatFailsOnAnyNumberOfThreads) {
  const struct {
    const char* composition;
    int sequence;
  } cases[] = {
      {"aDHex 3x)aDHex bDHex", 1},
      {"3x)aDHex aDHex bDHex", 2},
      {"3x)aDHex 3x)aDHex 3?)aDHex bDHex", 15},
      {"xx)aDHex 3x)aDHex aDHex bDHex", 27},
  };
  TempDir dir;
  testing::WriteTestReferenceData(dir);
  for (const auto& c : cases) {
    const int residues = 1 + static_cast<int>(std::count(c.composition, c.composition + std::strlen(c.composition), ' '));
    std::string task = std::string(c.composition) + "\n";
    for (int carbon = 0; carbon < 6 * residues; ++carbon) task += "700 ";
    dir.Write("TASK.TSK", task + "\n");
    const std::string printed = SameOnEveryThreadCount(dir, task);
    const std::string last = "Sequence now: " + std::to_string(c.sequence) + " (";
    const std::size_t at = printed.find(last);
    EXPECT_NE(at, std::string::npos) << printed;
    EXPECT_NE(printed.find("Could not find the", at), std::string::npos) << printed;
  }
}

// One, two and three threads print the same and write the same, for random tasks that end
// normally and random tasks that end at a candidate that cannot be calculated (searched in the
// test process, which prints what the program prints).
TEST(ThreadedSearchTest, AnyNumberOfThreadsPrintsWhatOneThreadPrints) {
  int failing = 0, completed = 0;
  for (const bool test_data : {true, false}) {
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
    testing::tTaskGenerator generator(residues, test_data, test_data ? 31 : 32);
    for (int i = 0; i < 60; ++i) {
      const std::string task = generator.Task();
      dir.Write("TASK.TSK", task);
      std::string first;
      for (const unsigned threads : {1u, 2u, 3u}) {
        const auto run = testing::SearchInProcess(dir.Path(), "TASK", {false, threads});
        const std::string printed = LastProgressLines(run.Output) + run.Result;
        if (threads == 1) {
          first = printed;
          failing += printed.find("Could not find") != std::string::npos;
          completed += run.Completed;
        } else {
          EXPECT_EQ(printed, first) << threads << " threads\n" << task;
        }
      }
    }
  }
  EXPECT_GE(failing, 20);
  EXPECT_GE(completed, 30);
}

TEST(ThreadedSearchTest, StopRequestEndsEveryThreadWithoutResult) {
  TempDir dir;
  CopyData(dir, "SEARCH6Q");  // about half a minute on two threads
  ScopedThreads use("2");
  ProgramSession session(dir.Path(), {"SEARCH6Q"}, ProgramSession::Mode::kPipe);
  ASSERT_TRUE(session.WaitFor("Sequence now: 1 (")) << session.Output();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  session.Signal(SIGINT);
  ASSERT_TRUE(session.WaitFor("Press any key to return to Windows\n", std::chrono::seconds(20)))
      << session.Output();
  session.CloseInput();
  EXPECT_EQ(session.Wait(), 0);
  const std::size_t stopped = session.Output().find("\nThe calculation is terminated by user\n");
  ASSERT_NE(stopped, std::string::npos) << session.Output();
  // No thread began another sequence after the stop request.
  EXPECT_EQ(session.Output().find("Sequence now:", stopped), std::string::npos) << session.Output();
  EXPECT_EQ(session.Output().find("structures checked"), std::string::npos) << session.Output();
  EXPECT_FALSE(std::filesystem::exists(dir / "SEARCH6Q.RES"));
}

}  // namespace
}  // namespace glycomb
