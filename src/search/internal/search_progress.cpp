#include "search/internal/search_progress.hpp"

#include <numeric>

#include "console/checked.hpp"
#include "console/control_handler.hpp"
#include "console/formatting.hpp"

namespace glycomb {

tSearchProgress::tSearchProgress(std::size_t passes, std::size_t first_pass,
                                 std::int32_t sequences_before, double start_time,
                                 std::int32_t estimate, const tStopToken& stop)
    : start_time_(start_time),
      estimate_(estimate),
      stop_(stop),
      sequences_(passes, 0),
      front_(first_pass),
      merged_(sequences_before),
      shown_(sequences_before) {}

bool tSearchProgress::SequenceDone(std::size_t pass) {
  std::lock_guard<std::mutex> lock(mutex_);
  // Another thread may be between sequences when a stop request arrives: it begins no other.
  // The report of the request is written here, under the lock, between two progress lines.
  if (stop_.StopRequested()) {
    ReportDeferredStop();
    return false;
  }
  At(sequences_, pass) = CheckedAdd<std::int32_t>(sequences_[pass], 1);
  if (pass == front_) Show(false);
  return true;
}

void tSearchProgress::PassMerged(std::size_t pass) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pass != front_) CheckFailed("range check error: pass merged out of order");
  merged_ = CheckedAdd<std::int32_t>(merged_, sequences_[pass]);
  ++front_;
  // After a stop request nothing more is shown: its report is the last line.
  if (front_ < sequences_.size() && !stop_.StopRequested()) Show(false);
}

void tSearchProgress::ShowEnd(std::size_t pass) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (pass != front_) CheckFailed("range check error: the run ends in a pass out of order");
  Show(true);
}

std::int32_t tSearchProgress::Count() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return std::accumulate(sequences_.begin(), sequences_.end(), merged_) -
         std::accumulate(sequences_.begin(), sequences_.begin() + static_cast<std::ptrdiff_t>(front_),
                         std::int32_t{0});
}

// The line of sequence `count` reads as the literal enumeration shows it when it begins that
// sequence: the fraction done before it, and the time left extrapolated from it.
void tSearchProgress::Show(bool now) {
  const std::int32_t count =
      CheckedAdd<std::int32_t>(merged_, front_ < sequences_.size() ? sequences_[front_] : 0);
  if (count <= shown_ && any_shown_) return;
  if (count == 0) return;
  const auto time = std::chrono::steady_clock::now();
  if (!now && any_shown_ && time - last_shown_ < kInterval) return;
  shown_ = count;
  any_shown_ = true;
  last_shown_ = time;
  ShowProgressSince(count, estimate_, start_time_);
}

}  // namespace glycomb
