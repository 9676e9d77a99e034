// Internal to the search. The progress line of a search on any number of threads, counted in the
// order of generation: it goes as far as the sequences of the passes merged so far and those of
// the pass merged next, every sequence with its line, so that it reads as the literal
// enumeration's and a run that ends at a sequence shows that sequence last, whatever the number
// of threads.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

#include "console/stop_token.hpp"

namespace glycomb {

class tSearchProgress {
 public:
  // `stop` must outlive it; `start_time` in days.
  tSearchProgress(std::size_t passes, double start_time, std::int32_t estimate,
                  const tStopToken& stop);

  // The progress step of one more sequence of pass `pass` that passed the checks; false, with
  // nothing shown, once a stop request has arrived: the sequence is then not begun.
  bool SequenceDone(std::size_t pass);
  // Pass `pass`, the next in order, has been merged: the line goes on with the pass after it.
  void PassMerged(std::size_t pass);
  // The run ends in pass `pass`, the next in order, at its last sequence begun: the line shows it.
  void ShowEnd(std::size_t pass);
  // The sequences that passed the checks, in every pass.
  std::int32_t Count() const;

 private:
  // Shows the lines of the sequences counted in order that it has not shown yet.
  void Show();

  mutable std::mutex mutex_;
  double start_time_;
  std::int32_t estimate_;
  const tStopToken& stop_;
  std::vector<std::int32_t> sequences_;  // by pass
  std::size_t front_ = 0;                // the pass merged next
  std::int32_t merged_ = 0;              // the sequences of the passes before it
  std::int32_t shown_ = 0;               // the last sequence shown
};

}  // namespace glycomb
