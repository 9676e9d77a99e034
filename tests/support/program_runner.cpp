#include "support/program_runner.hpp"

#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <stdexcept>

namespace glycomb::testing {
namespace {

using Clock = std::chrono::steady_clock;

[[noreturn]] void ExecInChild(const std::string& directory,
                              const std::vector<std::string>& arguments) {
  if (chdir(directory.c_str()) != 0) _exit(126);
  // The test runner may have blocked signals; the program must start with defaults.
  sigset_t none;
  sigemptyset(&none);
  sigprocmask(SIG_SETMASK, &none, nullptr);
  signal(SIGPIPE, SIG_DFL);
  std::string program = GLYCOMB_BINARY;
  std::vector<char*> argv;
  argv.push_back(program.data());
  for (const std::string& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  execvp(argv[0], argv.data());
  _exit(127);
}

}  // namespace

std::string SourcePath() { return GLYCOMB_SOURCE_DIR; }

void CopyShippedData(const TempDir& dir) {
  std::filesystem::copy(SourcePath() + "/data", dir.Path(),
                        std::filesystem::copy_options::recursive);
}

std::string MaskElapsedTime(std::string output) {
  const std::size_t at = output.find("Elapsed time is ") + 16;
  const std::size_t end = output.find(std::string(33, ' ') + "\n", at);
  if (at < 16 || end == std::string::npos) return output;
  std::string separators;
  for (std::size_t i = at; i < end; ++i) {
    const auto digit = [&](std::size_t k) {
      return k < end && std::isdigit(static_cast<unsigned char>(output[k])) != 0;
    };
    if (!digit(i)) separators += output[i];
    if (digit(i) && !digit(i + 1)) separators += '9';  // the end of a number
  }
  if (separators == "9:9:9.9") output.replace(at, end - at, "T");
  const std::string progress = "Sequence now: ";
  std::string kept;
  bool in_run = false;  // the line before was a progress line too
  for (std::size_t from = 0, to; from < output.size(); from = to) {
    const std::size_t cr = output.find('\r', from);
    const bool line = output.compare(from, progress.size(), progress) == 0 && cr != std::string::npos;
    to = line ? cr + 1 : std::min(output.find(progress, from), output.size());
    const bool last = output.compare(to, progress.size(), progress) != 0;
    if (!line || !in_run || last) kept.append(output, from, to - from);
    in_run = line;
  }
  return kept;
}

std::string CrLfLines(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

tRunResult RunProgram(const std::string& directory, const std::vector<std::string>& arguments,
                      const std::string& input) {
  ProgramSession session(directory, arguments, ProgramSession::Mode::kPipe);
  session.Send(input);
  session.CloseInput();
  const int exit_code = session.Wait();
  return {session.Output(), exit_code};
}

ProgramSession::ProgramSession(const std::string& directory,
                               const std::vector<std::string>& arguments, Mode mode,
                               int output_fd) {
  signal(SIGPIPE, SIG_IGN);
  if (mode == Mode::kTerminal) {
    int master = -1, slave = -1;
    if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) {
      throw std::runtime_error("openpty failed");
    }
    pid_ = fork();
    if (pid_ < 0) throw std::runtime_error("fork failed");
    if (pid_ == 0) {
      close(master);
      setsid();
      ioctl(slave, TIOCSCTTY, 0);
      for (int fd : {STDIN_FILENO, STDOUT_FILENO, STDERR_FILENO}) dup2(slave, fd);
      if (output_fd >= 0) dup2(output_fd, STDOUT_FILENO);
      if (slave > STDERR_FILENO) close(slave);
      ExecInChild(directory, arguments);
    }
    close(slave);
    input_fd_ = output_fd_ = master;
    return;
  }
  int in_pipe[2], out_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(in_pipe[0], STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    dup2(out_pipe[1], STDERR_FILENO);
    for (int fd : {in_pipe[0], in_pipe[1], out_pipe[0], out_pipe[1]}) close(fd);
    ExecInChild(directory, arguments);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  input_fd_ = in_pipe[1];
  output_fd_ = out_pipe[0];
}

ProgramSession::~ProgramSession() {
  if (!exited_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
  if (input_fd_ >= 0 && input_fd_ != output_fd_) close(input_fd_);
  if (output_fd_ >= 0) close(output_fd_);
}

bool ProgramSession::ReadSome(std::chrono::milliseconds timeout) {
  struct pollfd fd{output_fd_, POLLIN, 0};
  if (poll(&fd, 1, static_cast<int>(timeout.count())) <= 0) return false;
  char buffer[4096];
  const ssize_t count = read(output_fd_, buffer, sizeof buffer);
  if (count <= 0) return false;  // end of output (EIO on a terminal whose program has gone)
  output_.append(buffer, static_cast<std::size_t>(count));
  return true;
}

bool ProgramSession::WaitFor(const std::string& text, std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (output_.find(text) == std::string::npos) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0 || !ReadSome(left)) return output_.find(text) != std::string::npos;
  }
  return true;
}

void ProgramSession::Send(const std::string& bytes) {
  if (input_fd_ >= 0 && write(input_fd_, bytes.data(), bytes.size()) < 0) return;
}

void ProgramSession::Signal(int signal_number) { kill(pid_, signal_number); }

bool ProgramSession::TerminalInLineMode() const {
  struct termios settings;
  return tcgetattr(input_fd_, &settings) == 0 && (settings.c_lflag & ECHO) != 0 &&
         (settings.c_lflag & ICANON) != 0;
}

void ProgramSession::CloseInput() {
  if (input_fd_ >= 0 && input_fd_ != output_fd_) {
    close(input_fd_);
    input_fd_ = -1;
  }
}

bool ProgramSession::EndsWithin(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  while (!exited_) {
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      exited_ = true;
      exit_code_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      break;
    }
    if (Clock::now() >= deadline) return false;
    ReadSome(std::chrono::milliseconds(20));
  }
  while (ReadSome(std::chrono::milliseconds(50))) {
  }
  return true;
}

int ProgramSession::Wait(std::chrono::milliseconds timeout) {
  if (EndsWithin(timeout)) return exit_code_;
  kill(pid_, SIGKILL);
  waitpid(pid_, nullptr, 0);
  exited_ = true;
  return -1;
}

}  // namespace glycomb::testing
