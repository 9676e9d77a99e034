// Runs the built program as a child process for end-to-end tests: with piped standard input, or
// on a pseudo-terminal that the test drives like a user at the keyboard.
#pragma once

#include <stdlib.h>
#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace glycomb::testing {

// What every run prints first, and last before it waits for its final key.
inline constexpr char kBanner[] =
    "GLYCOMB v 3.03\n"
    "Structure elucidation of regular polysaccharides from their 13C NMR spectra\n"
    "\n"
    "Reading task and databases...\n";
inline constexpr char kPressAnyKey[] = "Press any key to return to Windows\n";

// Path of the source tree (for the shipped data).
std::string SourcePath();
// Copies the shipped reference data (data/) into `dir`.
void CopyShippedData(const TempDir& dir);

// Sets GLYCOMB_THREADS for the programs started while alive.
class ScopedThreads {
 public:
  explicit ScopedThreads(const char* count) { setenv("GLYCOMB_THREADS", count, 1); }
  ~ScopedThreads() { unsetenv("GLYCOMB_THREADS"); }
  ScopedThreads(const ScopedThreads&) = delete;
  ScopedThreads& operator=(const ScopedThreads&) = delete;
};

// The console output of a search with the elapsed time replaced by "T" when it has its format
// (h:m:s.hundredths and 33 spaces), and of each run of progress lines only the first and the last:
// which lines come between depends on how fast the search runs.
std::string MaskElapsedTime(std::string output);
// The lines, each ended by CR LF as the result file ends them.
std::string CrLfLines(const std::vector<std::string>& lines);

struct tRunResult {
  std::string Output;  // standard output and standard error
  int ExitCode = -1;   // -1 when the process did not exit normally in time
};

// Runs the program in `directory` with `arguments`, standard input fed from `input` (then closed).
tRunResult RunProgram(const std::string& directory, const std::vector<std::string>& arguments,
                      const std::string& input = "");

// A running program whose standard input is a pipe kept open, or a pseudo-terminal.
class ProgramSession {
 public:
  enum class Mode { kPipe, kTerminal };
  // On a terminal, `output_fd` (when not -1) takes the program's standard output instead.
  ProgramSession(const std::string& directory, const std::vector<std::string>& arguments, Mode mode,
                 int output_fd = -1);
  ~ProgramSession();
  ProgramSession(const ProgramSession&) = delete;
  ProgramSession& operator=(const ProgramSession&) = delete;

  // Reads output until it contains `text` (counted from the start of the output); false on timeout
  // or end of output.
  bool WaitFor(const std::string& text,
               std::chrono::milliseconds timeout = std::chrono::seconds(30));
  void Send(const std::string& bytes);
  void Signal(int signal_number);
  // Closes the input (end of input for a pipe).
  void CloseInput();
  // Whether the program ends within `timeout` (it is left running otherwise); the rest of its
  // output is collected.
  bool EndsWithin(std::chrono::milliseconds timeout);
  // Waits for the end of the program and returns its exit code, or -1 after killing it when it
  // has not ended within `timeout`.
  int Wait(std::chrono::milliseconds timeout = std::chrono::seconds(120));
  int ExitCode() const { return exit_code_; }
  // Whether the terminal echoes and collects lines, as before any one-key question.
  bool TerminalInLineMode() const;
  const std::string& Output() const { return output_; }

 private:
  bool ReadSome(std::chrono::milliseconds timeout);

  pid_t pid_ = -1;
  int input_fd_ = -1;
  int output_fd_ = -1;
  std::string output_;
  int exit_code_ = -1;
  bool exited_ = false;
};

}  // namespace glycomb::testing
