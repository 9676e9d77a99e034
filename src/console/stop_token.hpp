// What a long operation reads to learn that a stop request has arrived. The program hands out a
// token of RunFlag, which the console control handler clears; a test hands out one of its own flag.
#pragma once

#include <atomic>

namespace glycomb {

class tStopToken {
 public:
  // `flag` is true while the run may go on; it must outlive the token.
  explicit tStopToken(const std::atomic<bool>& flag) : flag_(&flag) {}

  bool StopRequested() const { return !flag_->load(); }

 private:
  const std::atomic<bool>* flag_;
};

}  // namespace glycomb
