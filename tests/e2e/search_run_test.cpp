// The search end to end on the test data set: console output, result files worked out by hand,
// and what happens to an existing or unwritable result file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>

#include <cctype>
#include <filesystem>
#include <numeric>
#include <set>
#include <string>
#include <vector>

#include "e2e/test_reference_data.hpp"
#include "support/fixtures.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::CrLfLines;
using testing::kBanner;
using testing::MaskElapsedTime;
using testing::kPressAnyKey;
using testing::ProgramSession;
using testing::RunProgram;
using testing::TempDir;

const char kWrittenInto[] = "\nThe calculation result was written into TASK.RES\n";
const char kNotWritten[] = "\nThe calculation result was not written into TASK.RES\n";

std::string Progress(int sequence, const char* percent) {
  return "Sequence now: " + std::to_string(sequence) + " (" + percent +
         "%), time left: 0hr 0min           \r";
}

// Console output of a search from the estimate to the number of structures checked.
std::string SearchLines(const std::string& estimate, const std::string& progress,
                        const std::string& checked) {
  return "Pressing Ctrl-Break cancels the calculation\n"
         "The top estimation for the number of sequences is " +
         estimate + "\n" + progress + "Elapsed time is T" + std::string(33, ' ') + "\n" +
         checked + " structures checked.\n";
}

class SearchRunTest : public ::testing::Test {
 protected:
  SearchRunTest() { testing::WriteTestReferenceData(dir_); }

  testing::tRunResult Search(const std::string& task, const std::string& keys = "") {
    dir_.Write("TASK.TSK", task);
    return RunProgram(dir_.Path(), {"task"}, keys);
  }
  bool ResultExists() const { return std::filesystem::exists(dir_ / "TASK.RES"); }

  TempDir dir_;
};

// One alpha Hex carrying itself at 2, 3, 4 or 6 (topology -x0-), in that order:
//   2: terminal 930 720 740 710 720 620 + noaDDaS2 (0 +80 -10 0 0 0), C1 +40 from its own C1
//      effect, C5 +5 (alpha ring code 0): 970 800 730 710 725 620
//   3: the one-substituent set aS(2O,2A,DD,N)3 as it stands, C1 +65: 995 705 825 700 720 615
//   4: 960 720 730 780 715 620 (the one-residue /CALC case)
//   6: terminal + noaDDaS6 (0 0 0 0 -15 +65), C1 +20, C5 +5: 950 720 740 710 710 685
// Against the sorted experimental 620 710 720 730 790 960 the sorted spectra deviate by
//   2: 0+0+5+0+10+10 = 25, mean 25/60 = 0.4167 -> 0.42
//   3: 615 700 705 720 825 995: 5+10+15+10+35+35 = 110, 1.833 -> 1.83
//   4: 620 715 720 730 780 960: 0+5+0+0+10+0 = 15, 0.25
//   6: 685 710 710 720 740 950: 65+0+10+10+50+10 = 145, 2.417 -> 2.42
// Limit 3: 2, 3 and 4 fill the table, 6 is not better than the worst (3) and is dropped.
// Limit 1: 2 is kept, 3 is not better, 4 replaces 2, 6 is not better.
// A residue that may carry nothing cannot carry itself: no structure at all.
//
// An alpha Gan and the N-linked Acy. Acy can carry nothing, so only topology -[x1]=x0- with the
// Gan on node 0 yields structures: the Gan carries itself at 3, 4 or 6 and the Acy at 2 (its only
// N-substitutable position). The lower position holds the N-linked Acy, so each is the terminal
// 920 510 690 700 720 620 with the N-link (C2 -30, C1 and C3 +10) = 930 480 700 700 720 620,
// then the effect of the Gan on itself, its C1 effect on its own C1 and C5 +5 (alpha ring
// code 4); Acy stays 1750 95:
//   3: nnaDDaS3 (0 -10 +90 0 0 0), C1 +60: 990 470 790 700 725 620
//   4: nnaDDaS4 of #Gan, which replaces the one of #gal (0 0 -10 +80 -10 0), C1 +50:
//      980 480 690 780 715 620
//   6: nnaDDaS6 (0 0 0 0 -20 +70), C1 +30: 960 480 700 700 705 690
// Sorted with the Acy against the experimental 95 480 690 700 700 705 960 1760:
//   3: 95 470 620 700 725 790 990 1750: 0+10+70+0+25+85+30+10 = 230
//   4: 95 480 620 690 715 780 980 1750: 0+0+70+10+15+75+20+10 = 200, mean 200/80 = 2.50
//   6: 95 480 690 700 700 705 960 1750: 10, mean 0.125 -> 0.13 (half away from zero)
// Limit 2: 3 and 4 fill the table and 6 replaces the worst, 3.
// Sequences: with WIDESPREAD the non-sugar Acy may stand on no node with children, which leaves
// one, whether the Acy is placed by the enumeration or, as the first entry, on the start node;
// without it the linear topology and the Acy on node 0 give two more, without structures.
// Topologies of shape 2 do not exist for two residues: "skipped" with WIDESPREAD, else "absent".
TEST_F(SearchRunTest, SmallTasksWorkedOutByHand) {
  const std::string hex = "\n960 620 790\n710 730 720\n";
  const std::string gan = "\n1760 95 480 690 700 700 705 960\n";
  const std::string one = Progress(1, "0.00");
  const std::string three = one + Progress(3, "66.67");
  const std::vector<std::string> gan_kept = {
      "Here are 2 structures that match the spectrum the best:", "", "Linear:", "absent",
      "Widespread branched:", " 1: -[DAcy-]=2]6)aDGan--\t([x]x)\t Dev.: 0.13",
      " 2: -[DAcy-]=2]4)aDGan--\t([x]x)\t Dev.: 2.50", "Rarely-ocurring branched:"};
  const auto with = [](std::vector<std::string> lines, const char* last) {
    lines.push_back(last);
    return lines;
  };
  const struct {
    const char* composition;
    std::string rest, estimate, progress, checked;
    std::vector<std::string> lines;  // after the composition and the empty line
  } cases[] = {
      {"aDHex", hex + "LIMIT: 3\n", "1", one, "4",
       {"Here are 3 structures that match the spectrum the best:", "", "Linear:",
        " 1: -4)aDHex--\t(x)\t Dev.: 0.25", " 2: -2)aDHex--\t(x)\t Dev.: 0.42",
        " 3: -3)aDHex--\t(x)\t Dev.: 1.83", "Widespread branched:", "absent",
        "Rarely-ocurring branched:", "absent"}},
      {"aDHex", hex + "limit: 1\n", "1", one, "4",
       {"Here is 1 structure that match the spectrum the best:", "", "Linear:",
        " 1: -4)aDHex--\t(x)\t Dev.: 0.25", "Widespread branched:", "absent",
        "Rarely-ocurring branched:", "absent"}},
      {"xx)aDHex", hex + "WIDESPREAD\n", "1", one, "0",
       {"Here are 0 structures that match the spectrum the best:", "", "Linear:", "absent",
        "Widespread branched:", "absent", "Rarely-ocurring branched:", "skipped"}},
      {"aDGan cDAcy", gan + "WIDESPREAD\nLimit: 2\n", "3", one, "3", with(gan_kept, "skipped")},
      {"cDAcy aDGan", gan + "WIDESPREAD\nLimit: 2\n", "3", one, "3", with(gan_kept, "skipped")},
      {"aDGan cDAcy", gan + "Limit: 2\n", "3", three, "3", with(gan_kept, "absent")},
      {"cDAcy aDGan", gan + "Limit: 2\n", "3", three, "3", with(gan_kept, "absent")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.composition + c.rest);
    const auto result = Search(std::string("; a task\n  ") + c.composition + " " + c.rest);
    EXPECT_EQ(MaskElapsedTime(result.Output),
              kBanner + SearchLines(c.estimate, c.progress, c.checked) + kWrittenInto +
                  kPressAnyKey);
    EXPECT_EQ(result.ExitCode, 0);
    std::vector<std::string> lines = {"The monomeric composition and constraints are:",
                                      c.composition, ""};
    lines.insert(lines.end(), c.lines.begin(), c.lines.end());
    EXPECT_EQ(dir_.Read("TASK.RES"), CrLfLines(lines));
    std::filesystem::remove(dir_ / "TASK.RES");
  }
}

const char kOneResidueTask[] = "aDHex\n620 710 720 730 790 960\nLIMIT: 1\n";
const char kOneResidueReport[] =
    "The monomeric composition and constraints are:\r\naDHex\r\n\r\n"
    "Here is 1 structure that match the spectrum the best:\r\n\r\n"
    "Linear:\r\n 1: -4)aDHex--\t(x)\t Dev.: 0.25\r\n"
    "Widespread branched:\r\nabsent\r\nRarely-ocurring branched:\r\nabsent\r\n";
const char kQuestion[] = "\nThe file TASK.RES already exists. Overwrite or append (O/A)?";

// An existing result file is appended to or overwritten. A directory in its place cannot be
// opened: retry asks the overwrite question again, abort ends the run without a result. A report
// file that cannot be opened is asked for the same way: abort gives it up, and the run goes on
// with the other one.
TEST_F(SearchRunTest, ExistingOrUnwritableResultFile) {
  const std::string old_report = "An older report\r\n", report = kOneResidueReport;
  const auto not_opened = [](const char* file) {
    return "\nCould not open " + std::string(file) +
           " for writing: is a directory\nRetry or Abort?";
  };
  const struct {
    const char* blocked;  // the file that exists, or the directory in a file's place
    std::string keys, console, result_file;
  } cases[] = {
      {"TASK.RES", "a", kQuestion + std::string("A\n") + kWrittenInto,
       old_report + "\r\n" + std::string(30, '-') + "\r\n" + report},
      // q answers nothing
      {"TASK.RES", "qo", kQuestion + std::string("O\n") + kWrittenInto, report},
      {"TASK.RES/", "oraa",
       kQuestion + std::string("O\n") + not_opened("TASK.RES") + "R\n" + kQuestion + "A\n" +
           not_opened("TASK.RES") + "A\n" + kNotWritten,
       ""},
      {"TASK.HTML/", "ra",
       kWrittenInto + not_opened("TASK.HTML") + "R\n" + not_opened("TASK.HTML") +
           "A\nThe report data were written into TASK.JSON\n",
       report},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.blocked);
    TempDir dir;
    testing::WriteTestReferenceData(dir);
    const std::string blocked = c.blocked;
    if (blocked.ends_with('/')) {
      std::filesystem::create_directory(dir / blocked);
    } else {
      dir.Write(blocked, old_report);
    }
    dir.Write("TASK.TSK", kOneResidueTask + std::string(c.keys == "ra" ? "REPORT\n" : ""));
    const auto result = RunProgram(dir.Path(), {"task"}, c.keys);
    EXPECT_EQ(MaskElapsedTime(result.Output),
              kBanner + SearchLines("1", Progress(1, "0.00"), "4") + c.console + kPressAnyKey);
    EXPECT_EQ(result.ExitCode, 0);
    if (!c.result_file.empty()) {
      EXPECT_EQ(dir.Read("TASK.RES"), c.result_file);
    }
  }
}

// A batch run cannot answer the overwrite question: the report goes to the first free name beside
// the old file, which stays as it was.
TEST_F(SearchRunTest, UnansweredOverwriteQuestionKeepsBothReports) {
  dir_.Write("TASK.RES", "An older report\r\n");
  dir_.Write("task-1.res", "Another report\r\n");
  const auto result = Search(kOneResidueTask);
  EXPECT_EQ(MaskElapsedTime(result.Output),
            kBanner + SearchLines("1", Progress(1, "0.00"), "4") + kQuestion +
                "\nWarning: The question could not be answered; TASK.RES is left as it is and the "
                "result goes to TASK-2.RES\n"
                "\nThe calculation result was written into TASK-2.RES\n" +
                kPressAnyKey);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_EQ(dir_.Read("TASK.RES"), "An older report\r\n");
  EXPECT_EQ(dir_.Read("task-1.res"), "Another report\r\n");
  EXPECT_EQ(dir_.Read("TASK-2.RES"), kOneResidueReport);
}

// A full disk (here a file size limit) while the report is written: the old report stays whole,
// and no temporary file is left.
TEST_F(SearchRunTest, FullDiskLeavesTheOldReportWhole) {
  const std::string old_report = "An older report\r\n";
  const std::string not_written =
      "\nCould not write to TASK.RES: insufficient disk space\nRetry or Abort?";
  const std::string listing = "EFFECTS.PS\nNAMES.PS\nTASK.RES\nTASK.TSK\nc13data\n";
  dir_.Write("TASK.TSK", kOneResidueTask);
  const auto expected = [&](char answer) {
    return kBanner + SearchLines("1", Progress(1, "0.00"), "4") + kQuestion + answer + "\n" +
           not_written + "R\n" + not_written + "A\n" + kNotWritten + kPressAnyKey;
  };
  for (const char* keys : {"ora", "ara"}) {
    SCOPED_TRACE(keys);
    dir_.Write("TASK.RES", old_report);
    struct rlimit saved;
    getrlimit(RLIMIT_FSIZE, &saved);
    struct rlimit limit = saved;
    limit.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &limit);
    const auto result = RunProgram(dir_.Path(), {"task"}, keys);
    setrlimit(RLIMIT_FSIZE, &saved);
    EXPECT_EQ(MaskElapsedTime(result.Output), expected(static_cast<char>(std::toupper(keys[0]))));
    EXPECT_EQ(dir_.Read("TASK.RES"), old_report);
    std::set<std::string> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir_.Path())) {
      files.insert(entry.path().filename().string() + "\n");
    }
    EXPECT_EQ(std::accumulate(files.begin(), files.end(), std::string()), listing);
  }
}

TEST_F(SearchRunTest, StopRequestDuringTheOverwriteQuestionWritesNothing) {
  dir_.Write("TASK.TSK", kOneResidueTask);
  dir_.Write("TASK.RES", "An older report\r\n");
  ProgramSession session(dir_.Path(), {"task"}, ProgramSession::Mode::kPipe);
  ASSERT_TRUE(session.WaitFor(kQuestion));
  session.Signal(SIGINT);
  ASSERT_TRUE(session.WaitFor(kPressAnyKey)) << session.Output();
  session.CloseInput();
  EXPECT_EQ(session.Wait(), 0);
  EXPECT_TRUE(session.Output().ends_with(std::string(kQuestion) +
                                         "\nThe calculation is terminated by user\n" +
                                         kPressAnyKey))
      << session.Output();
  EXPECT_EQ(dir_.Read("TASK.RES"), "An older report\r\n");
}

// A beta Hex carrying itself at 2 needs noaDDbS2, which the data set lacks.
TEST_F(SearchRunTest, MissingEffectEndsTheRunWithoutResult) {
  const auto result = Search("bDHex\n620 710 720 730 790 960\n");
  EXPECT_EQ(MaskElapsedTime(result.Output),
            std::string(kBanner) +
                "Pressing Ctrl-Break cancels the calculation\n"
                "The top estimation for the number of sequences is 1\n" +
                Progress(1, "0.00") +
                testing::Fatal("Could not find the noaDDbS2 effect for #Hex or its ancestors") +
                kPressAnyKey);
  EXPECT_EQ(result.ExitCode, 0);
  EXPECT_FALSE(ResultExists());
}

}  // namespace
}  // namespace glycomb
