// Console services shared by every subsystem: fatal errors and warnings, one-key questions, the
// stop flag that the console control handler clears, and the two ways a run ends.
#pragma once

#include <atomic>
#include <cstdint>
#include <exception>
#include <initializer_list>
#include <optional>
#include <string>

namespace glycomb {

// Raised by FatalError after its message has been printed. Readers catch it and report failure;
// where nothing catches it, the program entry ends the process with exit code 1.
class EErrorStop : public std::exception {
 public:
  const char* what() const noexcept override { return "Good bye"; }
};

// Raised by HaltRun. Deliberately not a std::exception: only the program entry catches it, after
// the tables of the run have been released on the way out, and then waits for the final key.
struct ERunHalted {};

// True while the run may go on; cleared only by the console control handler.
extern std::atomic<bool> RunFlag;
static_assert(std::atomic<bool>::is_always_lock_free);

// The console's line break, written inside messages that span two lines.
inline constexpr char kLineBreak[] = "\n";

// Scan codes of the answer keys.
inline constexpr std::uint8_t kScanR = 19;
inline constexpr std::uint8_t kScanO = 24;
inline constexpr std::uint8_t kScanA = 30;

// Prints an empty line, `message`, "Can't continue" and an empty line, then raises EErrorStop.
[[noreturn]] void FatalError(const std::string& message);

// Prints the line "Warning: " + message.
void ShowWarning(const std::string& message);

// Asks a one-key question: an empty line, then `prompt` without a line break, then waits for a key
// whose scan code is in `yes` or `no` and echoes it. Returns whether it is in `yes`; returns false
// without echo when a stop request arrives. A question that cannot be answered (end of input, a
// read error, or standard output closed so that nobody sees it) is a fatal console error.
bool AskKey(const std::string& prompt, std::initializer_list<std::uint8_t> yes,
            std::initializer_list<std::uint8_t> no);

// AskKey for a caller that has a safe way on without an answer: empty, after ending the prompt's
// line, when the question cannot be answered.
std::optional<bool> AskKeyIfAnswerable(const std::string& prompt,
                                       std::initializer_list<std::uint8_t> yes,
                                       std::initializer_list<std::uint8_t> no);

// AskKey with `message`, a line break and "Retry or Abort?"; true means retry.
bool AskRetryAbort(const std::string& message);

// Discards pending keyboard input, prints "Press any key to return to Windows", sets RunFlag and
// waits for a key, a stop request, the end of input or a read error (not at all when standard
// output is closed); then ends the process with exit code 0.
[[noreturn]] void WaitKeyAndExit();

// Ends the run: unwinds to the program entry (raising ERunHalted), which releases the run's tables,
// the shift table among them, and then calls WaitKeyAndExit.
[[noreturn]] void HaltRun();

// Makes the console read its keys from `fd` instead of standard input (tests use a pipe).
void SetConsoleInput(int fd);

// Gives the terminal back the settings it had before a one-key question switched it to single
// keys without echo; does nothing when no question has. Async-signal-safe, for the handlers of
// signals that end the process.
void RestoreTerminal();

}  // namespace glycomb
