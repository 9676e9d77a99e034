// The program's start-up, command line and console behaviour, run as a user would run it.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "driver/program.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::ProgramSession;
using testing::RunProgram;
using testing::TempDir;

const char kBanner[] =
    "GLYCOMB v 3.03\n"
    "Structure elucidation of regular polysaccharides from their 13C NMR spectra\n"
    "\n"
    "Reading task and databases...\n";
const char kPressAnyKey[] = "Press any key to return to Windows\n";
const char kMissingNames[] = "\nCould not open NAMES.PS for reading: file not found\nRetry or Abort?";

std::string UsageText() {
  std::string text;
  for (const std::string& line : UsageLines()) text += line + "\n";
  return text + "\n";
}

TEST(StartupTest, UsageTextIsTwentyLinesVerbatim) {
  ASSERT_EQ(UsageLines().size(), 20u);
  EXPECT_EQ(UsageLines().front(), "Usage: GLYCOMB <task file>");
  EXPECT_EQ(UsageLines()[12], "");
  EXPECT_EQ(UsageLines().back(),
            "are selected from all the structures generated (default is 20)");
}

TEST(StartupTest, WrongCommandLinesShowTheUsageText) {
  TempDir dir;
  const std::vector<std::vector<std::string>> command_lines = {
      {}, {"/CALC"}, {"/calc"}, {"task", "extra"}, {"/CALC", "a", "b"}};
  for (const auto& arguments : command_lines) {
    const auto result = RunProgram(dir.Path(), arguments);
    EXPECT_EQ(result.Output, kBanner + UsageText() + kPressAnyKey) << arguments.size();
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST(StartupTest, MissingNamesDatabaseAbortEndsTheRun) {
  TempDir dir;
  for (const char* mode : {"search", "calc"}) {
    const std::vector<std::string> arguments =
        std::string(mode) == "calc" ? std::vector<std::string>{"/calc", "calc"}
                                    : std::vector<std::string>{"abc"};
    const auto result = RunProgram(dir.Path(), arguments, "xa");
    EXPECT_EQ(result.Output, kBanner + std::string(kMissingNames) + "A\n" + kPressAnyKey);
    EXPECT_EQ(result.ExitCode, 0);
  }
}

TEST(StartupTest, EndOfInputDuringAQuestionIsAConsoleError) {
  TempDir dir;
  const auto result = RunProgram(dir.Path(), {"abc"}, "");
  EXPECT_EQ(result.Output, kBanner + std::string(kMissingNames) +
                               "\nConsole error, code 0\nCan't continue\n\n" + kPressAnyKey);
  EXPECT_EQ(result.ExitCode, 0);
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

TEST(StartupTest, KeysAreReadWithoutEnterOnATerminal) {
  TempDir dir;
  ProgramSession session(dir.Path(), {"abc"}, ProgramSession::Mode::kTerminal);
  ASSERT_TRUE(session.WaitFor("Retry or Abort?"));
  session.Send("q");  // not an answer: ignored, and the terminal does not echo it
  session.Send("a");  // one key, no Enter
  ASSERT_TRUE(session.WaitFor("Press any key to return to Windows"));
  EXPECT_FALSE(session.EndsWithin(std::chrono::milliseconds(200)));
  session.Send("z");
  ASSERT_TRUE(session.EndsWithin(std::chrono::seconds(10)));
  EXPECT_EQ(session.ExitCode(), 0);
  // The terminal turns each line feed into CR LF.
  EXPECT_NE(session.Output().find("Retry or Abort?A\r\nPress any key to return to Windows"),
            std::string::npos)
      << session.Output();
  EXPECT_EQ(session.Output().find('q'), std::string::npos);
  EXPECT_EQ(session.Output().find('z'), std::string::npos);
}

}  // namespace
}  // namespace glycomb
