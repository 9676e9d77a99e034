#include "console/control_handler.hpp"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <unistd.h>

#include "console/checked.hpp"
#include "console/console.hpp"

namespace glycomb {
namespace {

constexpr int kSignals[kStopSignalCount] = {SIGINT, SIGQUIT, SIGHUP, SIGTERM};

void WriteAll(const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    ssize_t written = ::write(STDOUT_FILENO, text, left);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return;
    text += written;
    left -= static_cast<std::size_t>(written);
  }
}

int EventOfSignal(int signal_number) {
  switch (signal_number) {
    case SIGINT: return kCtrlCEvent;
    case SIGQUIT: return kCtrlBreakEvent;
    case SIGHUP: return kCloseEvent;
    default: return kShutdownEvent;
  }
}

extern "C" void OnStopSignal(int signal_number) {
  const int saved_errno = errno;
  ConsoleCtrlHandler(EventOfSignal(signal_number));
  errno = saved_errno;
}

// Signals whose default action ends the process. Their handler gives the terminal its settings
// back, then the signal takes its default course.
constexpr int kDeadlySignals[] = {SIGABRT, SIGALRM, SIGBUS,  SIGFPE,    SIGILL, SIGSEGV,
                                  SIGSYS,  SIGUSR1, SIGUSR2, SIGVTALRM, SIGXCPU};

extern "C" void OnDeadlySignal(int signal_number) {
  RestoreTerminal();
  raise(signal_number);  // the handler has been reset to the default action
}

}  // namespace

int StopSignal(int index) { return At(kSignals, static_cast<std::size_t>(index)); }

namespace {

// Whether stop reports are deferred, and the event of a kept stop request (-1: none).
std::atomic<bool> defer_reports{false};
std::atomic<int> deferred_event{-1};

void WriteStopReport(int event) {
  const char* reason;
  switch (event) {
    case kCtrlCEvent:
    case kCtrlBreakEvent: reason = "by user"; break;
    case kCloseEvent: reason = "due to the console close"; break;
    case kLogoffEvent: reason = "due to system logoff"; break;
    case kShutdownEvent: reason = "due to system shutdown"; break;
    default: reason = "due to the operating system error"; break;
  }
  WriteAll("\nThe calculation is terminated ");
  WriteAll(reason);
  WriteAll("\n");
}

}  // namespace

bool ConsoleCtrlHandler(int event) {
  if (defer_reports.load()) {
    deferred_event.store(event);
    RunFlag.store(false);
    // Deferral may have ended since it was looked at, after the last report was written.
    if (!defer_reports.load()) ReportDeferredStop();
    return true;
  }
  WriteStopReport(event);
  RunFlag.store(false);
  return true;
}

void DeferStopReports(bool on) { defer_reports.store(on); }

void ReportDeferredStop() {
  const int event = deferred_event.exchange(-1);
  if (event >= 0) WriteStopReport(event);
}

int InstallConsoleCtrlHandler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  for (int signal_number : kSignals) sigaddset(&action.sa_mask, signal_number);
  action.sa_flags = 0;  // no SA_RESTART: a blocked read must wake up and look at RunFlag
  for (int signal_number : kSignals) {
    if (sigaction(signal_number, &action, nullptr) != 0) return errno;
  }
  // A closed output pipe and a file size limit become write errors that the program reports,
  // instead of signals that end it without a word.
  if (signal(SIGPIPE, SIG_IGN) == SIG_ERR || signal(SIGXFSZ, SIG_IGN) == SIG_ERR) return errno;

  struct sigaction deadly;
  std::memset(&deadly, 0, sizeof deadly);
  deadly.sa_handler = OnDeadlySignal;
  sigemptyset(&deadly.sa_mask);
  deadly.sa_flags = SA_RESETHAND | SA_NODEFER;
  for (int signal_number : kDeadlySignals) {
    // A handler that is already there (a sanitizer's) stays.
    struct sigaction current;
    if (sigaction(signal_number, nullptr, &current) != 0) return errno;
    if (current.sa_handler != SIG_DFL) continue;
    if (sigaction(signal_number, &deadly, nullptr) != 0) return errno;
  }
  return 0;
}

}  // namespace glycomb
