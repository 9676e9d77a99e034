#include "console/console.hpp"

#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <iostream>

#include "console/checked.hpp"
#include "console/control_handler.hpp"

namespace glycomb {

std::atomic<bool> RunFlag{true};

void CheckFailed(const std::string& what) { throw ECheckFailed(what); }

namespace {

int g_input_fd = STDIN_FILENO;

// Terminal settings saved while a key is awaited, and the terminal they belong to; restored after
// the read and on every way out, from signal handlers too.
struct termios g_saved_termios;
int g_termios_fd = -1;
volatile std::sig_atomic_t g_termios_changed = 0;

// While alive, a terminal on the console input delivers every byte at once and without echo.
class SingleKeyMode {
 public:
  SingleKeyMode() {
    if (!isatty(g_input_fd) || tcgetattr(g_input_fd, &g_saved_termios) != 0) return;
    static const bool registered = (std::atexit(RestoreTerminal) == 0);
    (void)registered;
    struct termios raw = g_saved_termios;
    raw.c_lflag &= static_cast<tcflag_t>(~(ICANON | ECHO));
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    // Marked before the switch, so that a signal arriving in between restores the settings.
    g_termios_fd = g_input_fd;
    g_termios_changed = 1;
    if (tcsetattr(g_input_fd, TCSANOW, &raw) != 0) g_termios_changed = 0;
  }
  ~SingleKeyMode() { RestoreTerminal(); }
  SingleKeyMode(const SingleKeyMode&) = delete;
  SingleKeyMode& operator=(const SingleKeyMode&) = delete;
};

// While alive, the stop signals are blocked except inside the wait of ReadKeyByte, so that a
// signal cannot slip in between the look at RunFlag and the wait.
class StopSignalsBlocked {
 public:
  StopSignalsBlocked() {
    sigset_t blocked;
    sigemptyset(&blocked);
    for (int i = 0; i < kStopSignalCount; ++i) sigaddset(&blocked, StopSignal(i));
    pthread_sigmask(SIG_BLOCK, &blocked, &original_);
  }
  ~StopSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &original_, nullptr); }
  StopSignalsBlocked(const StopSignalsBlocked&) = delete;
  StopSignalsBlocked& operator=(const StopSignalsBlocked&) = delete;
  const sigset_t& Original() const { return original_; }

 private:
  sigset_t original_;
};

enum class KeyResult { kKey, kStopped, kEndOfInput, kError };

// Waits for one byte of console input. Returns kStopped as soon as RunFlag is false.
KeyResult ReadKeyByte(const StopSignalsBlocked& signals, unsigned char& key, int& error_number) {
  for (;;) {
    if (!RunFlag.load()) return KeyResult::kStopped;
    struct pollfd wait_for{g_input_fd, POLLIN, 0};
    if (ppoll(&wait_for, 1, nullptr, &signals.Original()) < 0) {
      if (errno == EINTR) continue;
      error_number = errno;
      return KeyResult::kError;
    }
    const ssize_t count = ::read(g_input_fd, &key, 1);
    if (count == 1) return KeyResult::kKey;
    if (count == 0) return KeyResult::kEndOfInput;
    if (errno == EINTR || errno == EAGAIN) continue;
    error_number = errno;
    return KeyResult::kError;
  }
}

// Scan code of the key that produces the byte `key` (letters in either case), or 0.
std::uint8_t ScanCodeOf(unsigned char key) {
  // Scan codes of the letter keys of a standard keyboard, A to Z.
  static constexpr std::uint8_t kLetterScanCodes[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23,
                                                        36, 37, 38, 50, 49, 24, 25, 16, 19,
                                                        31, 20, 22, 47, 17, 45, 21, 44};
  if (key >= 'a' && key <= 'z') key = static_cast<unsigned char>(key - 'a' + 'A');
  if (key < 'A' || key > 'Z') return 0;
  return kLetterScanCodes[key - 'A'];
}

bool Contains(std::initializer_list<std::uint8_t> set, std::uint8_t code) {
  return std::find(set.begin(), set.end(), code) != set.end();
}

// Whether standard output has failed (its pipe closed, its disk full): nobody sees a question
// then. Standard error says so the first time.
bool OutputLost() {
  if (std::cout.good()) return false;
  static bool told = false;
  if (!told) {
    told = true;
    std::cerr << "glycomb: standard output cannot be written; the run goes on without asking "
                 "questions\n"
              << std::flush;
  }
  return true;
}

enum class tAnswer { kYes, kNo, kStopped, kUnanswerable };

// The one-key question of AskKey. `error_number` receives the system error number when the
// question cannot be answered (0 at the end of input).
tAnswer Ask(const std::string& prompt, std::initializer_list<std::uint8_t> yes,
            std::initializer_list<std::uint8_t> no, int& error_number) {
  unsigned char key = 0;
  {
    // The terminal is switched before the prompt appears, so that a key pressed at once is
    // neither echoed nor held back for an Enter.
    StopSignalsBlocked signals;
    SingleKeyMode single_keys;
    std::cout << '\n' << prompt << std::flush;
    error_number = errno;
    if (OutputLost()) return tAnswer::kUnanswerable;
    for (;;) {
      error_number = 0;
      const KeyResult result = ReadKeyByte(signals, key, error_number);
      if (result == KeyResult::kStopped) return tAnswer::kStopped;
      if (result != KeyResult::kKey) return tAnswer::kUnanswerable;
      const std::uint8_t code = ScanCodeOf(key);
      if (code != 0 && (Contains(yes, code) || Contains(no, code))) break;
    }
  }
  if (!RunFlag.load()) return tAnswer::kStopped;
  const char echo = static_cast<char>(key >= 'a' && key <= 'z' ? key - 'a' + 'A' : key);
  std::cout << echo << '\n' << std::flush;
  return Contains(yes, ScanCodeOf(key)) ? tAnswer::kYes : tAnswer::kNo;
}

}  // namespace

void RestoreTerminal() {
  if (g_termios_changed != 0) {
    tcsetattr(g_termios_fd, TCSANOW, &g_saved_termios);
    g_termios_changed = 0;
  }
}

void FatalError(const std::string& message) {
  std::cout << '\n' << message << "\nCan't continue\n\n" << std::flush;
  throw EErrorStop();
}

void ShowWarning(const std::string& message) {
  std::cout << "Warning: " << message << '\n' << std::flush;
}

bool AskKey(const std::string& prompt, std::initializer_list<std::uint8_t> yes,
            std::initializer_list<std::uint8_t> no) {
  int error_number = 0;
  const tAnswer answer = Ask(prompt, yes, no, error_number);
  if (answer == tAnswer::kUnanswerable) {
    FatalError("Console error, code " + std::to_string(error_number));
  }
  return answer == tAnswer::kYes;
}

std::optional<bool> AskKeyIfAnswerable(const std::string& prompt,
                                       std::initializer_list<std::uint8_t> yes,
                                       std::initializer_list<std::uint8_t> no) {
  int error_number = 0;
  const tAnswer answer = Ask(prompt, yes, no, error_number);
  if (answer == tAnswer::kUnanswerable) {
    std::cout << '\n' << std::flush;
    return std::nullopt;
  }
  return answer == tAnswer::kYes;
}

bool AskRetryAbort(const std::string& message) {
  return AskKey(message + kLineBreak + "Retry or Abort?", {kScanR}, {kScanA});
}

void WaitKeyAndExit() {
  {
    StopSignalsBlocked signals;
    SingleKeyMode single_keys;
    if (isatty(g_input_fd)) tcflush(g_input_fd, TCIFLUSH);
    std::cout << "Press any key to return to Windows\n" << std::flush;
    RunFlag.store(true);
    unsigned char key = 0;
    int error_number = 0;
    if (!OutputLost()) ReadKeyByte(signals, key, error_number);
  }
  std::cout.flush();
  std::exit(0);
}

void HaltRun() { throw ERunHalted{}; }

void SetConsoleInput(int fd) { g_input_fd = fd; }

}  // namespace glycomb
