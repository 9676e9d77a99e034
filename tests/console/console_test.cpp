#include "console/console.hpp"

#include <gtest/gtest.h>

#include <string>

#include "console/control_handler.hpp"
#include "support/key_input.hpp"

namespace glycomb {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

using testing::KeyInput;

TEST(AskKeyTest, AnswersByLetterInEitherCaseAndIgnoresOtherBytes) {
  const struct {
    const char* keys;
    bool answer;
    const char* shown;
  } cases[] = {
      {"r", true, "\nQuestion\r\nRetry or Abort?R\n"},
      {"R", true, "\nQuestion\r\nRetry or Abort?R\n"},
      {"a", false, "\nQuestion\r\nRetry or Abort?A\n"},
      {"x\n 7a", false, "\nQuestion\r\nRetry or Abort?A\n"},
  };
  for (const auto& c : cases) {
    KeyInput input(c.keys);
    CaptureStdout();
    const bool answer = AskRetryAbort("Question\r");
    EXPECT_EQ(answer, c.answer) << c.keys;
    EXPECT_EQ(GetCapturedStdout(), c.shown) << c.keys;
  }
}

// While deferred, a request only clears RunFlag; its report is written once, by whoever asks first,
// also when deferral has ended meanwhile.
TEST(ConsoleCtrlHandlerTest, DeferredReportIsWrittenOnceWhenAskedFor) {
  const std::string report = "\nThe calculation is terminated due to system shutdown\n";
  RunFlag.store(true);
  DeferStopReports(true);
  CaptureStdout();
  EXPECT_TRUE(ConsoleCtrlHandler(kShutdownEvent));
  EXPECT_EQ(GetCapturedStdout(), "");
  EXPECT_FALSE(RunFlag.load());
  DeferStopReports(false);
  CaptureStdout();
  ReportDeferredStop();
  ReportDeferredStop();
  EXPECT_EQ(GetCapturedStdout(), report);
  CaptureStdout();
  EXPECT_TRUE(ConsoleCtrlHandler(kShutdownEvent));
  ReportDeferredStop();
  EXPECT_EQ(GetCapturedStdout(), report) << "not deferred: written at once, and nothing kept";
  RunFlag.store(true);
}

}  // namespace
}  // namespace glycomb
