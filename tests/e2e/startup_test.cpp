// The program's start-up, command line and console behaviour, run as a user would run it.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "support/fixtures.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::kBanner;
using testing::kPressAnyKey;
using testing::ProgramSession;
using testing::RunProgram;
using testing::TempDir;

const char kMissingNames[] = "\nCould not open NAMES.PS for reading: file not found\nRetry or Abort?";

const char kUsage[] =
    "Usage: GLYCOMB <task file>\n"
    "The task file specifies the task to solve. Its format is the following:\n"
    "First non-comment line defines the composition of the polysaccharide\n"
    "and contains the list of residues names separated with spaces\n"
    "Then follows the real C-13 NMR spectrum which is the spaces-separated\n"
    "list of chemical shifts values multiplied by 10. The signals for acetyl-\n"
    "groups should not be specified; ones for carboxyl groups of uronic acids\n"
    "should be. Anomeric and absolute configuration may be specified if known.\n"
    "The file may be appended with line \"Correction: xxx\" where xxx specifies\n"
    "the value to add to (if with +) or to substract from (if with -) the spectrum.\n"
    "See EXAMPLE.TSK for details.\n"
    "If you need to calculate spectrum for the known structure, see CALC.STR.\n"
    "\n"
    "The available residues names and their descriptions are stored in NAMES.PS\n"
    "This file may be appended following the rules in its header.\n"
    "The list of possible structures and their calculated spectra deviations from\n"
    "the real spectrum is stored in the file named as the task file but with *.RES\n"
    "extension. How many structures are suggested depends on the optional line\n"
    "\"Limit: xx\" in the task file. This defines how many best-matching structures\n"
    "are selected from all the structures generated (default is 20)\n"
    "\n";

// With end of input as well: the usage text needs no key before its final wait.
TEST(StartupTest, WrongCommandLinesShowTheUsageText) {
  TempDir dir;
  const std::vector<std::vector<std::string>> command_lines = {
      {}, {"/CALC"}, {"/calc"}, {"task", "extra"}, {"/CALC", "a", "b"}};
  for (const auto& arguments : command_lines) {
    const auto result = RunProgram(dir.Path(), arguments);
    EXPECT_EQ(result.Output, kBanner + std::string(kUsage) + kPressAnyKey) << arguments.size();
    EXPECT_EQ(result.ExitCode, 0);
  }
}

// Without NAMES.PS the first question of either mode asks Retry or Abort: abort ends the run, and
// so does the end of input, as a console error.
TEST(StartupTest, MissingNamesDatabaseEndsTheRun) {
  const struct {
    std::vector<std::string> arguments;
    const char* keys;
    std::string end;
  } cases[] = {
      {{"abc"}, "xa", "A\n"},
      {{"/calc", "calc"}, "xa", "A\n"},
      {{"abc"}, "", testing::Fatal("Console error, code 0")},
  };
  for (const auto& c : cases) {
    TempDir dir;
    const auto result = RunProgram(dir.Path(), c.arguments, c.keys);
    EXPECT_EQ(result.Output, kBanner + std::string(kMissingNames) + c.end + kPressAnyKey);
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST(StartupTest, RetryFindsTheFileCreatedMeanwhile) {
  TempDir dir;
  ProgramSession session(dir.Path(), {"abc"}, ProgramSession::Mode::kPipe);
  ASSERT_TRUE(session.WaitFor("Retry or Abort?"));
  dir.Write("names.ps", "Glc /2oa3oa4oa5da6oc\n");
  session.Send("r");
  session.CloseInput();
  EXPECT_EQ(session.Wait(), 0);
  const std::string& output = session.Output();
  EXPECT_EQ(output.find(kMissingNames), std::string(kBanner).size());
  EXPECT_EQ(output.find("Could not open NAMES.PS", output.find("Retry or Abort?R")),
            std::string::npos);
  EXPECT_TRUE(output.ends_with(kPressAnyKey)) << output;
}

TEST(StartupTest, StopRequestsAnswerTheQuestionAndEndTheFinalWait) {
  const struct {
    int signal_number;
    const char* reason;
  } cases[] = {
      {SIGINT, "by user"},
      {SIGQUIT, "by user"},
      {SIGHUP, "due to the console close"},
      {SIGTERM, "due to system shutdown"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    ProgramSession session(dir.Path(), {"abc"}, ProgramSession::Mode::kPipe);
    ASSERT_TRUE(session.WaitFor("Retry or Abort?"));
    session.Signal(c.signal_number);
    ASSERT_TRUE(session.WaitFor(kPressAnyKey)) << session.Output();
    // The final wait goes on after the stop request that answered the question; a second one
    // ends it.
    EXPECT_FALSE(session.EndsWithin(std::chrono::milliseconds(300))) << c.reason;
    session.Signal(SIGINT);
    ASSERT_TRUE(session.EndsWithin(std::chrono::seconds(10)));
    EXPECT_EQ(session.ExitCode(), 0);
    EXPECT_EQ(session.Output(), kBanner + std::string(kMissingNames) +
                                    "\nThe calculation is terminated " + c.reason + "\n" +
                                    kPressAnyKey + "\nThe calculation is terminated by user\n");
  }
}

}  // namespace
}  // namespace glycomb
