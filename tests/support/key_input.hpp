// Feeds the console's one-key questions from a pipe holding the given keys, then end of input.
#pragma once

#include <unistd.h>

#include <string>

#include "console/console.hpp"

namespace glycomb::testing {

class KeyInput {
 public:
  explicit KeyInput(const std::string& keys) {
    if (pipe(fds_) != 0) return;
    if (write(fds_[1], keys.data(), keys.size()) < 0) keys_written_ = false;
    close(fds_[1]);
    SetConsoleInput(fds_[0]);
  }
  ~KeyInput() {
    SetConsoleInput(STDIN_FILENO);
    close(fds_[0]);
    RunFlag.store(true);
  }
  KeyInput(const KeyInput&) = delete;
  KeyInput& operator=(const KeyInput&) = delete;
  bool Ready() const { return keys_written_; }

 private:
  int fds_[2] = {-1, -1};
  bool keys_written_ = true;
};

}  // namespace glycomb::testing
