// The search on a terminal, as a user sees it: the progress line redrawn in place, one key
// without Enter for a question, and Ctrl-C during a long search. The terminal turns each line
// feed into CR LF.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "e2e/test_reference_data.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::ProgramSession;
using testing::TempDir;

const char kPressAnyKey[] = "Press any key to return to Windows\r\n";

std::string Zeros(std::size_t count) {
  std::string text = "0";
  for (std::size_t i = 1; i < count; ++i) text += " 0";
  return text;
}

TEST(TerminalTest, ProgressIsRedrawnInPlaceAndOneKeyAnswersTheQuestion) {
  TempDir dir;
  testing::WriteTestReferenceData(dir);
  dir.Write("TASK.TSK", "a?Alx ?DAlx 4?)bDAlx\n" + Zeros(18) + "\n");
  dir.Write("TASK.RES", "An older report\r\n");
  ProgramSession session(dir.Path(), {"task"}, ProgramSession::Mode::kTerminal);
  ASSERT_TRUE(session.WaitFor("Overwrite or append (O/A)?")) << session.Output();
  session.Send("q");  // not an answer: ignored, and the terminal does not echo it
  session.Send("o");  // one key, no Enter
  ASSERT_TRUE(session.WaitFor(kPressAnyKey)) << session.Output();
  session.Send("x");
  ASSERT_TRUE(session.EndsWithin(std::chrono::seconds(10)));
  EXPECT_EQ(session.ExitCode(), 0);

  const std::string& output = session.Output();
  const std::string estimate = "The top estimation for the number of sequences is 14\r\n";
  const std::size_t from = output.find(estimate);
  const std::size_t to = output.find("Elapsed time is ");
  ASSERT_NE(from, std::string::npos) << output;
  ASSERT_NE(to, std::string::npos) << output;
  // Progress lines from the first sequence to the last (of fourteen; those in between at most
  // ten times a second), each ended by a carriage return alone, so that each overwrites the one
  // before; the elapsed-time line overwrites the last.
  const std::string progress = output.substr(from + estimate.size(), to - from - estimate.size());
  EXPECT_EQ(progress.find('\n'), std::string::npos) << progress;
  EXPECT_TRUE(progress.ends_with("Sequence now: 14 (92.86%), time left: 0hr 0min           \r"));
  EXPECT_GE(std::count(progress.begin(), progress.end(), '\r'), 2);
  EXPECT_TRUE(output.ends_with(
      " structures checked.\r\n\r\nThe file TASK.RES already exists. Overwrite or append (O/A)?O\r\n"
      "\r\nThe calculation result was written into TASK.RES\r\n" +
      std::string(kPressAnyKey)))
      << output;
}

// Six residues with open configurations: about a thousand structures per sequence and 13440
// sequences estimated, far more than the test waits for. 13440 / 1024 = 13.125 is written 13.13K.
// Both threads stop.
TEST(TerminalTest, CtrlCEndsALongSearchAfterTheCurrentSequence) {
  const testing::ScopedThreads use("2");
  TempDir dir;
  testing::WriteTestReferenceData(dir);
  dir.Write("TASK.TSK", "??Alx ?DAlx ?DAlx aDAlx aDAlx aDAlx\n" + Zeros(36) + "\n");
  ProgramSession session(dir.Path(), {"task"}, ProgramSession::Mode::kTerminal);
  ASSERT_TRUE(session.WaitFor("The top estimation for the number of sequences is 13.13K\r\n"))
      << session.Output();
  ASSERT_TRUE(session.WaitFor("Sequence now: 1 (")) << session.Output();
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  session.Send("\x03");  // Ctrl-C: the terminal sends SIGINT
  ASSERT_TRUE(session.WaitFor(kPressAnyKey, std::chrono::seconds(60))) << session.Output();
  const std::string stopped = "\r\nThe calculation is terminated by user\r\n";
  const std::string& output = session.Output();
  EXPECT_TRUE(output.ends_with(stopped + kPressAnyKey)) << output;
  // No sequence was begun after the stop request, and the search did not come to its end.
  EXPECT_EQ(output.find("Sequence now:", output.find(stopped)), std::string::npos);
  EXPECT_EQ(output.find("Elapsed time is"), std::string::npos);

  EXPECT_FALSE(session.EndsWithin(std::chrono::milliseconds(200)));
  session.Send("k");
  ASSERT_TRUE(session.EndsWithin(std::chrono::seconds(10)));
  EXPECT_EQ(session.ExitCode(), 0);
  EXPECT_FALSE(std::filesystem::exists(dir / "TASK.RES"));
}

// A program that ends while a one-key question waits leaves the terminal as it found it. With its
// output pipe closed under the question it goes on without questions, says so on standard error
// and ends normally; a signal that ends it restores the terminal first.
TEST(TerminalTest, TerminalIsRestoredOnEveryWayOut) {
  for (const int signal_number : {SIGPIPE, SIGUSR1}) {
    SCOPED_TRACE(signal_number);
    TempDir dir;  // without NAMES.PS the first question is Retry or Abort
    int output[2] = {-1, -1};
    ASSERT_EQ(pipe2(output, O_CLOEXEC), 0);  // the program holds only the write end
    if (signal_number == SIGPIPE) {
      // One page of pipe, filled so that the banner fits and the prompt of the question blocks.
      ASSERT_EQ(fcntl(output[1], F_SETPIPE_SZ, 4096), 4096);
      const std::string filler(4096 - (sizeof testing::kBanner - 1) - 1, '.');
      ASSERT_EQ(write(output[1], filler.data(), filler.size()),
                static_cast<ssize_t>(filler.size()));
    }
    ProgramSession session(dir.Path(), {"task"}, ProgramSession::Mode::kTerminal,
                           signal_number == SIGPIPE ? output[1] : -1);
    close(output[1]);
    for (int i = 0; i < 3000 && session.TerminalInLineMode(); ++i) usleep(10'000);
    ASSERT_FALSE(session.TerminalInLineMode()) << "no question";
    close(output[0]);  // the reader goes away
    if (signal_number != SIGPIPE) session.Signal(signal_number);
    ASSERT_TRUE(session.EndsWithin(std::chrono::seconds(10)));
    EXPECT_TRUE(session.TerminalInLineMode());
    if (signal_number == SIGPIPE) {
      EXPECT_EQ(session.ExitCode(), 0);
      EXPECT_EQ(session.Output(),
                "glycomb: standard output cannot be written; the run goes on without asking "
                "questions\r\n");
    } else {
      EXPECT_EQ(session.ExitCode(), -1);  // ended by the signal
    }
  }
}

}  // namespace
}  // namespace glycomb
