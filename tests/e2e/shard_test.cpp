// A search divided into shards: each shard searches its share of the passes and writes a part, and
// /MERGE merges the parts into the result file and count of the whole search. A part set that is
// not complete, not of one division or not of this search is refused with a message naming the
// file; a killed shard resumes from its own checkpoint.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <random>
#include <string>
#include <thread>

#include "support/in_process.hpp"
#include "support/program_runner.hpp"
#include "support/random_tasks.hpp"

namespace glycomb {
namespace {

using testing::ProgramSession;
using testing::RunProgram;
using testing::SearchInProcess;
using testing::ShardedSearchInProcess;
using testing::tSearchMode;
using testing::TempDir;
using testing::tTaskGenerator;

// A task whose spectrum is that of a linear unit in which one residue comes back, with some of the
// configurations of the composition left open, and a small limit: kept structures come back from
// other sequences and passes with the worst kept sum, in later shards too. Empty when the unit
// cannot be calculated.
std::string TieTask(tTaskGenerator& generator, const std::string& dir, std::mt19937& random) {
  std::vector<std::string> tokens = generator.LinearUnit(3 + random() % 2);
  if (tokens[0] == "P") return "";
  for (std::size_t t = 1; t < tokens.size(); ++t) {
    if (random() % 2 == 0 && tokens[t - 1] != "P") tokens[t] = tokens[0];
  }
  std::string record, composition;
  for (const std::string& token : tokens) {
    record += token + "-";
    std::string entry = token == "P" ? token : token.substr(token.find(')') + 1);
    if (entry != "P" && random() % 3 == 0) entry[random() % 2] = '?';
    composition += (composition.empty() ? "" : " ") + entry;
  }
  const auto calc = testing::CalcInProcess(dir, record);
  if (!calc.Calculated) return "";
  std::string task = composition + "\n";
  const bool spin_systems = random() % 2 == 0;
  for (std::size_t node = 0; node + 1 < calc.CarbonOffsets.size(); ++node) {
    for (auto c = calc.CarbonOffsets[node]; c < calc.CarbonOffsets[node + 1]; ++c) {
      task += std::to_string(calc.Spectrum[c]) + " ";
    }
    if (spin_systems && calc.CarbonOffsets[node] < calc.CarbonOffsets[node + 1]) task += "\n";
  }
  task += spin_systems ? "SPINSYSTEMS\n" : "\n";
  if (random() % 3 == 0) task += "CORRECTION: AUTO\n";
  return task + "LIMIT: " + std::to_string(1 + random() % 3) + "\n";
}

// Random tasks of the shipped and the test data (spin systems, AUTO, LINK lines, DISTINCT,
// WIDESPREAD, constraints, limits; on the test data also tasks that end at a candidate that cannot
// be calculated), and tasks with ties at the worst kept sum, each divided into 1..8 shards
// searched on one or two threads.
TEST(ShardTest, MergedShardsGiveTheResultAndCountOfTheWholeSearch) {
  int tasks = 0, completed = 0, ties = 0;
  std::mt19937 random(29);
  for (const bool test_data : {false, true}) {
    const testing::tDataSetDir data(test_data);
    const std::string& dir = data.Dir.Path();
    tTaskGenerator generator(data.Residues, test_data, test_data ? 23 : 17);
    for (int i = 0; i < (test_data ? 60 : 100); ++i) {
      const std::string task = i % 2 == 0 ? generator.Task(i % 3 == 1) : TieTask(generator, dir, random);
      if (task.empty()) continue;
      ties += i % 2;
      data.Dir.Write("TASK.TSK", task);
      const auto whole = SearchInProcess(dir, "TASK", tSearchMode{false, 1});
      ++tasks;
      completed += whole.Completed;
      for (unsigned shards = 1; shards <= 8; ++shards) {
        const auto merged = ShardedSearchInProcess(dir, "TASK", shards, 1 + (i + shards) % 2);
        ASSERT_EQ(merged.Completed, whole.Completed) << task << shards << " shards\n"
                                                     << merged.Output;
        EXPECT_EQ(merged.Result, whole.Result) << task << shards << " shards";
        EXPECT_EQ(merged.Checked, whole.Checked) << task << shards << " shards";
      }
    }
  }
  EXPECT_GE(completed, tasks / 2);
  EXPECT_GE(tasks, 100);
  EXPECT_GE(ties, 30);
}

// The program with GLYCOMB_SHARD set (or unset) while alive.
class ScopedShard {
 public:
  explicit ScopedShard(const char* shard) {
    if (shard) setenv("GLYCOMB_SHARD", shard, 1);
  }
  ~ScopedShard() { unsetenv("GLYCOMB_SHARD"); }
  ScopedShard(const ScopedShard&) = delete;
  ScopedShard& operator=(const ScopedShard&) = delete;
};

class ShardRunTest : public ::testing::Test {
 protected:
  ShardRunTest() {
    testing::CopyShippedData(dir_);
    dir_.Write("TASK.TSK", kTask);
    dir_.Write("OTHER.TSK", std::string(kTask) + "LIMIT: 5\n");
  }
  static constexpr char kTask[] =
      "aDGlc bDGal aLRha\n1030 720 735 705 730 615 1045 712 738 692 762 620 1010 715 708 730 697 "
      "178\n";

  // Runs shard `shard` of `task`; returns what it printed.
  std::string Shard(const char* shard, const std::string& task = "TASK") {
    const ScopedShard scoped(shard);
    const auto run = RunProgram(dir_.Path(), {task});
    EXPECT_EQ(run.ExitCode, 0) << run.Output;
    return run.Output;
  }
  void Remove(const std::string& name) { std::filesystem::remove(dir_ / name); }
  void RemoveParts() {
    for (const auto& file : std::filesystem::directory_iterator(dir_.Path())) {
      if (file.path().extension() == ".PRT" || file.path().extension() == ".prt") {
        std::filesystem::remove(file.path());
      }
    }
  }

  TempDir dir_;
};

// The merge of a complete set prints what the whole search prints, the progress line and the
// elapsed time aside, and writes the same result file; every faulty set is refused by a message
// that names the file at fault, and no result file is written.
TEST_F(ShardRunTest, TheMergeWritesTheWholeResultAndRefusesEveryFaultySet) {
  const auto whole = RunProgram(dir_.Path(), {"TASK"});
  const std::string result = dir_.Read("TASK.RES");
  Remove("TASK.RES");
  for (const char* shard : {"1/3", "2/3", "3/3"}) {
    EXPECT_NE(Shard(shard).find("was written into TASK." + std::string(1, shard[0]) + "OF3.PRT"),
              std::string::npos);
  }
  const auto merge = RunProgram(dir_.Path(), {"/merge", "task"});
  const auto without_progress = [](const std::string& output) {
    std::string kept;
    for (std::size_t at = 0, end; at < output.size(); at = end) {
      end = std::min(output.find_first_of("\r\n", at), output.size() - 1) + 1;
      if (output.compare(at, 14, "Sequence now: ") != 0) kept += output.substr(at, end - at);
    }
    return testing::MaskElapsedTime(kept);
  };
  EXPECT_EQ(without_progress(merge.Output), without_progress(whole.Output));
  EXPECT_EQ(dir_.Read("TASK.RES"), result);
  for (const char* part : {"TASK.1OF3.PRT", "TASK.2OF3.PRT", "TASK.3OF3.PRT"}) {
    EXPECT_TRUE(std::filesystem::exists(dir_ / part)) << part << " is left in place";
  }
  Remove("TASK.RES");

  // The parts of OTHER (another task), of two shards, and of three; each case starts from the
  // three parts of TASK and changes them.
  for (const char* shard : {"1/2", "2/2"}) Shard(shard, "OTHER");
  const std::string other = dir_.Read("OTHER.1OF2.PRT");
  RemoveParts();
  for (const char* shard : {"1/2", "2/2", "1/3", "2/3", "3/3"}) Shard(shard);
  const std::string two_one = dir_.Read("TASK.1OF2.PRT"), two_two = dir_.Read("TASK.2OF2.PRT");
  const std::string first = dir_.Read("TASK.1OF3.PRT"), second = dir_.Read("TASK.2OF3.PRT"),
                    third = dir_.Read("TASK.3OF3.PRT");
  std::string altered = second;
  altered[altered.find("unrecorded ") + 11] ^= 1;
  const struct {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // written ("" removes)
    const char* message;
  } cases[] = {
      {"no parts", {{"TASK.1OF3.PRT", ""}, {"TASK.2OF3.PRT", ""}, {"TASK.3OF3.PRT", ""}},
       "No part of TASK.TSK was found"},
      {"a missing part", {{"TASK.2OF3.PRT", ""}}, "The part TASK.2OF3.PRT is missing"},
      {"two divisions", {{"TASK.1OF2.PRT", two_one}, {"TASK.2OF2.PRT", two_two}},
       "The parts TASK.1OF2.PRT and TASK.3OF3.PRT are of different divisions of the search"},
      {"a part twice", {{"task.2of3.prt", second}}, "is there twice"},
      {"a part of another task", {{"TASK.2OF3.PRT", other}},
       "The part TASK.2OF3.PRT is of another task, other reference data or another program"},
      {"a truncated part", {{"TASK.2OF3.PRT", second.substr(0, second.size() / 2)}},
       "The part TASK.2OF3.PRT cannot be read: it is incomplete or damaged"},
      {"a corrupted part", {{"TASK.2OF3.PRT", altered}},
       "The part TASK.2OF3.PRT cannot be read: it is incomplete or damaged"},
      {"a part of another shard", {{"TASK.2OF3.PRT", third}},
       "The part TASK.2OF3.PRT is not shard 2 of 3 of this search"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    RemoveParts();
    dir_.Write("TASK.1OF3.PRT", first);
    dir_.Write("TASK.2OF3.PRT", second);
    dir_.Write("TASK.3OF3.PRT", third);
    for (const auto& [name, text] : c.files) {
      if (text.empty()) {
        Remove(name);
      } else {
        dir_.Write(name, text);
      }
    }
    const auto refused = RunProgram(dir_.Path(), {"/MERGE", "TASK"});
    EXPECT_NE(refused.Output.find(std::string(c.message)), std::string::npos) << refused.Output;
    EXPECT_NE(refused.Output.find("Can't continue"), std::string::npos) << refused.Output;
    EXPECT_FALSE(std::filesystem::exists(dir_ / "TASK.RES"));
  }

  // GLYCOMB_SHARD that names no shard: the search does not begin.
  RemoveParts();
  for (const char* shard : {"0/3", "4/3", "3", "1/4097", "a/b", " 1/2", "1/2x", "01/2", "1//2"}) {
    SCOPED_TRACE(shard);
    const std::string output = Shard(shard);
    EXPECT_NE(output.find("GLYCOMB_SHARD=" + std::string(shard) + " names no shard"),
              std::string::npos)
        << output;
    EXPECT_EQ(output.find("Pressing Ctrl-Break"), std::string::npos);
  }
  for (const auto& file : std::filesystem::directory_iterator(dir_.Path())) {
    EXPECT_NE(file.path().extension(), ".PRT") << file.path();
  }
}

// A shard killed once it has a checkpoint resumes from it, and its part merges into the whole
// result, whatever way the merge names the task.
TEST(ShardResumeTest, AKilledShardResumesFromItsCheckpoint) {
  TempDir dir;
  testing::CopyShippedData(dir);
  std::filesystem::copy_file(testing::SourcePath() + "/bench/SEARCH6.TSK", dir / "TASK.TSK");
  setenv("GLYCOMB_CHECKPOINT_SECONDS", "0.02", 1);
  const auto whole = RunProgram(dir.Path(), {"TASK"});
  const std::string result = dir.Read("TASK.RES");
  std::filesystem::remove(dir / "TASK.RES");
  for (const char* shard : {"1/2", "2/2"}) {
    setenv("GLYCOMB_SHARD", shard, 1);
    if (shard[0] == '2') {
      ProgramSession session(dir.Path(), {"TASK"}, ProgramSession::Mode::kPipe);
      for (int wait = 0; wait < 15000 && !std::filesystem::exists(dir / "TASK.2OF2.CKP"); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      }
      session.Signal(SIGKILL);
      session.Wait();
      ASSERT_TRUE(std::filesystem::exists(dir / "TASK.2OF2.CKP"));
      ASSERT_FALSE(std::filesystem::exists(dir / "TASK.2OF2.PRT"));
    }
    const auto run = RunProgram(dir.Path(), {"TASK"});
    EXPECT_EQ(run.Output.find("Resuming from TASK.2OF2.CKP") != std::string::npos, shard[0] == '2')
        << run.Output;
  }
  unsetenv("GLYCOMB_SHARD");
  unsetenv("GLYCOMB_CHECKPOINT_SECONDS");
  EXPECT_FALSE(std::filesystem::exists(dir / "TASK.2OF2.CKP")) << "removed once the part is written";
  // The task named another way than the shards named it is the same search.
  const auto merge = RunProgram(dir.Path(), {"/MERGE", "./task"});
  EXPECT_EQ(dir.Read("TASK.RES"), result) << merge.Output;
  EXPECT_EQ(whole.ExitCode, 0);
}

}  // namespace
}  // namespace glycomb
