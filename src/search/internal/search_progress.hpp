// Internal to the search. The progress line of a search on any number of threads, counted in the
// order of generation: it goes as far as the sequences of the passes merged so far and those of
// the pass merged next, so that it reads as the literal enumeration's would, and a run that ends
// at a sequence shows that sequence last, whatever the number of threads. It is redrawn at most
// about ten times a second, and always for the first sequence and at the end.
#pragma once

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "console/stop_token.hpp"

namespace glycomb {

class tSearchProgress {
 public:
  // The least time between two progress lines.
  static constexpr std::chrono::milliseconds kInterval{100};

  // `stop` must outlive it; `start_time` in days. The passes before `first_pass` were searched
  // before (a resumed search) and gave `sequences_before` sequences.
  tSearchProgress(std::size_t passes, std::size_t first_pass, std::int32_t sequences_before,
                  double start_time, std::int32_t estimate, const tStopToken& stop);

  // The progress step of one more sequence of pass `pass` that passed the checks; false, with
  // nothing shown, once a stop request has arrived: the sequence is then not begun.
  bool SequenceDone(std::size_t pass);
  // Pass `pass`, the next in order, has been merged: the line goes on with the pass after it.
  void PassMerged(std::size_t pass);
  // The run ends in pass `pass`, the next in order, at its last sequence begun (or after every
  // pass, `pass` = the number of passes): the line shows where it ended.
  void ShowEnd(std::size_t pass);
  // The sequences that passed the checks, in every pass, those of a resumed search's earlier
  // run included.
  std::int32_t Count() const;

 private:
  // Shows the count of sequences in order when it has grown and the line is due, or `now`.
  void Show(bool now);

  mutable std::mutex mutex_;
  double start_time_;
  std::int32_t estimate_;
  const tStopToken& stop_;
  std::vector<std::int32_t> sequences_;  // by pass
  std::size_t front_ = 0;                // the pass merged next
  std::int32_t merged_ = 0;              // the sequences of the passes before it
  std::int32_t shown_ = 0;               // the last count shown
  bool any_shown_ = false;               // by this run
  std::chrono::steady_clock::time_point last_shown_{};
};

}  // namespace glycomb
