// Long searches keep a checkpoint and resume from it: killed at any moment (SIGKILL) and started
// again, a search ends with the result file and the count of the uninterrupted search; a
// checkpoint of another task, other data or another program is left alone.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::ProgramSession;
using testing::RunProgram;
using testing::TempDir;

// A checkpoint at most every 20 ms, two threads, for the programs started while alive.
class ScopedCheckpoints {
 public:
  ScopedCheckpoints() {
    setenv("GLYCOMB_CHECKPOINT_SECONDS", "0.02", 1);
    setenv("GLYCOMB_THREADS", "2", 1);
  }
  ~ScopedCheckpoints() {
    unsetenv("GLYCOMB_CHECKPOINT_SECONDS");
    unsetenv("GLYCOMB_THREADS");
  }
  ScopedCheckpoints(const ScopedCheckpoints&) = delete;
  ScopedCheckpoints& operator=(const ScopedCheckpoints&) = delete;
};

std::string CheckedLine(const std::string& output) {
  const std::size_t end = output.find(" structures checked.");
  const std::size_t start = output.rfind('\n', end);
  return end == std::string::npos ? "" : output.substr(start + 1, end - start - 1);
}

class ResumeTest : public ::testing::Test {
 protected:
  ResumeTest() {
    testing::CopyShippedData(dir_);
    std::filesystem::copy_file(testing::SourcePath() + "/bench/SEARCH6.TSK", dir_ / "TASK.TSK");
  }

  // Runs the search to its end; returns the result file, the structures-checked line and what
  // the run printed.
  struct tRun {
    std::string Result, Checked, Output;
  };
  tRun Complete() {
    const auto run = RunProgram(dir_.Path(), {"TASK"});
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    tRun done{dir_.Read("TASK.RES"), CheckedLine(run.Output), run.Output};
    std::filesystem::remove(dir_ / "TASK.RES");
    return done;
  }
  bool CheckpointExists() const { return std::filesystem::exists(dir_ / "TASK.CKP"); }

  TempDir dir_;
  ScopedCheckpoints checkpoints_;
};

// Five chains of four kills at random moments, each chain then run to its end.
TEST_F(ResumeTest, KilledAtAnyMomentAndStartedAgainEndsAsTheUninterruptedSearch) {
  const auto start = std::chrono::steady_clock::now();
  const tRun whole = Complete();
  const auto length = std::chrono::duration_cast<std::chrono::milliseconds>(
      std::chrono::steady_clock::now() - start);
  ASSERT_FALSE(CheckpointExists()) << "removed once the result file is written";
  ASSERT_NE(whole.Checked, "");
  std::mt19937 random(21);
  int resumed = 0;
  for (int chain = 0; chain < 5; ++chain) {
    for (int kill = 0; kill < 4; ++kill) {
      ProgramSession session(dir_.Path(), {"TASK"}, ProgramSession::Mode::kPipe);
      std::this_thread::sleep_for(std::chrono::milliseconds(
          std::uniform_int_distribution<long>(0, length.count())(random)));
      session.Signal(SIGKILL);
      session.Wait();
      resumed += session.Output().find("Resuming from ") != std::string::npos;
      std::filesystem::remove(dir_ / "TASK.RES");  // a kill after the result file was written
    }
    const tRun again = Complete();
    EXPECT_EQ(again.Result, whole.Result) << "chain " << chain;
    EXPECT_EQ(again.Checked, whole.Checked) << "chain " << chain;
    EXPECT_FALSE(CheckpointExists());
  }
  EXPECT_GE(resumed, 3) << "the kills must leave checkpoints to resume from";
}

// A checkpoint that does not match the task, the data or the file's own check is left as it is
// and the search starts from the beginning.
TEST_F(ResumeTest, ACheckpointOfSomethingElseIsLeftAlone) {
  const tRun whole = Complete();
  // A checkpoint of the unchanged task: kill the search once one is there.
  const auto keep_checkpoint = [&] {
    ProgramSession session(dir_.Path(), {"TASK"}, ProgramSession::Mode::kPipe);
    for (int wait = 0; wait < 15000 && !CheckpointExists(); ++wait) {  // at most 30 s
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    session.Signal(SIGKILL);
    session.Wait();
    ASSERT_TRUE(CheckpointExists());
  };
  const struct {
    const char* what;
    const char* file;  // changed by a comment line, or overwritten by "text"
    const char* text;
    const char* warning;
  } cases[] = {
      {"changed task", "TASK.TSK", nullptr, "is of another task"},
      {"changed effects", "EFFECTS.PS", nullptr, "is of another task"},
      {"changed shift file", "c13data/B-GAL.DAT", nullptr, "is of another task"},
      {"altered checkpoint", "TASK.CKP", "GLYCOMB CHECKPOINT 1\nno more\n", "cannot be read"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    keep_checkpoint();
    const std::string before = dir_.Read(c.file);
    dir_.Write(c.file, c.text != nullptr ? std::string(c.text) : before + "; changed\n");
    const std::string left = dir_.Read("TASK.CKP");
    const tRun again = Complete();
    EXPECT_NE(again.Output.find("Warning: The checkpoint TASK.CKP " + std::string(c.warning)),
              std::string::npos)
        << again.Output;
    EXPECT_EQ(again.Output.find("Resuming"), std::string::npos);
    EXPECT_EQ(again.Result, whole.Result);
    EXPECT_EQ(again.Checked, whole.Checked);
    EXPECT_EQ(dir_.Read("TASK.CKP"), left) << "left as it was";
    if (c.text == nullptr) dir_.Write(c.file, before);
    std::filesystem::remove(dir_ / "TASK.CKP");
  }
}

}  // namespace
}  // namespace glycomb
