// Console control events (stop requests). On this system they arrive as signals: SIGINT stands for
// Ctrl-C, SIGQUIT for Ctrl-Break, SIGHUP for closing the console and SIGTERM for a shutdown.
#pragma once

namespace glycomb {

// Console control event codes.
inline constexpr int kCtrlCEvent = 0;
inline constexpr int kCtrlBreakEvent = 1;
inline constexpr int kCloseEvent = 2;
inline constexpr int kLogoffEvent = 5;
inline constexpr int kShutdownEvent = 6;

// Reports the stop request `event` on standard output (an empty line, then "The calculation is
// terminated " and the reason) and clears RunFlag. Async-signal-safe. Returns true: handled.
bool ConsoleCtrlHandler(int event);

// While deferred, a stop request clears RunFlag and is kept instead of written, so that threads
// printing progress lines under a lock of their own never see the report land inside a line; the
// holder of that lock writes it with ReportDeferredStop. Turning deferral off does not write a
// kept request: call ReportDeferredStop afterwards.
void DeferStopReports(bool on);

// Writes the report of a kept stop request, once. Async-signal-safe.
void ReportDeferredStop();

// Installs ConsoleCtrlHandler for the stop signals, without SA_RESTART so that a waiting read wakes
// up. Also ignores SIGPIPE and SIGXFSZ, so that a closed output pipe or a file size limit is an
// error the program reports, and makes the other signals that end the process restore the
// terminal first (SIGKILL cannot be caught). Returns 0, or the system error number when
// installation fails.
int InstallConsoleCtrlHandler();

// The stop signals, in the order SIGINT, SIGQUIT, SIGHUP, SIGTERM.
inline constexpr int kStopSignalCount = 4;
int StopSignal(int index);

}  // namespace glycomb
