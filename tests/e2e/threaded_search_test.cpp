// The search on several threads as the program runs it: the console shows every sequence once and
// in order, the result file and the count are those of one thread, and a stop request ends the run
// after the sequences in progress, without a result file.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "support/program_runner.hpp"
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
  EXPECT_EQ(output[1], output[0]);
  EXPECT_EQ(result[1], result[0]);
  // Every sequence once, counted up one by one.
  std::size_t at = 0;
  for (int sequence = 1; sequence <= 984; ++sequence) {
    at = output[1].find("Sequence now: " + std::to_string(sequence) + " (", at);
    ASSERT_NE(at, std::string::npos) << sequence;
  }
  EXPECT_EQ(output[1].find("Sequence now: 985 ("), std::string::npos);
}

TEST(ThreadedSearchTest, StopRequestEndsEveryThreadWithoutResult) {
  TempDir dir;
  CopyData(dir, "SEARCH6Q");  // about half a minute on two threads
  ScopedThreads use("2");
  ProgramSession session(dir.Path(), {"SEARCH6Q"}, ProgramSession::Mode::kPipe);
  ASSERT_TRUE(session.WaitFor("Sequence now: 3 (")) << session.Output();
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
