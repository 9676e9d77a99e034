#include "scoring/spectrum_score.hpp"

#include <algorithm>
#include <bit>
#include <cstdlib>

#include "console/checked.hpp"

namespace glycomb {
namespace {

constexpr std::uint32_t kNoMatch = UINT32_MAX / 4;  // a residue and a line of other lengths

// Whether offset a is preferred to offset b among equal sums: the one nearer zero, and of two
// equally near the lower one.
bool Preferred(std::int32_t a, std::int32_t b) {
  return std::abs(a) < std::abs(b) || (std::abs(a) == std::abs(b) && a < b);
}

std::uint32_t Distance(std::int32_t a, std::int32_t b) {
  return a < b ? static_cast<std::uint32_t>(b - a) : static_cast<std::uint32_t>(a - b);
}

}  // namespace

tMeasuredSpectrum::tMeasuredSpectrum(const tTask& task)
    : spin_systems_(task.SpinSystems != 0),
      auto_offset_(task.AutoCorrection != 0),
      sorted_(task.Spectrum) {
  if (!spin_systems_) return;
  if (task.SpinLines.size() > kMaxScoredResidues) CheckFailed("range check error: spin systems");
  line_count_ = task.SpinLines.size();
  for (std::size_t s = 0; s < line_count_; ++s) {
    line_start_[s] = Narrow<std::uint16_t>(values_.size());
    line_length_[s] = Narrow<std::uint8_t>(task.SpinLines[s].size());
    values_.insert(values_.end(), task.SpinLines[s].begin(), task.SpinLines[s].end());
  }
}

tSpectrumScorer::tSpectrumScorer(const tMeasuredSpectrum& measured)
    : measured_(measured),
      differences_(measured.Size()),
      best_(std::size_t{1} << measured.LineCount()) {}

std::uint32_t tSpectrumScorer::SortedSum(const std::int32_t* sorted, std::int32_t offset) const {
  const std::int32_t* experimental = measured_.Sorted();
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < measured_.Size(); ++k) {
    sum += Distance(sorted[k], experimental[k] + offset);
  }
  return sum;
}

tScore tSpectrumScorer::SortedScore(const std::int32_t* sorted) {
  tScore score;
  if (!measured_.AutoOffset() || measured_.Size() == 0) {
    score.Sum = SortedSum(sorted, 0);
    return score;
  }
  // Sum |d - offset| over the differences d is smallest for any offset between the two middle
  // differences (the median); of those the one nearest zero, within the allowed range.
  const std::size_t m = measured_.Size();
  for (std::size_t k = 0; k < m; ++k) differences_[k] = sorted[k] - measured_.Sorted()[k];
  const auto middle = differences_.begin() + static_cast<std::ptrdiff_t>(m / 2);
  std::nth_element(differences_.begin(), middle, differences_.end());
  const std::int32_t high = *middle;
  const std::int32_t low =
      m % 2 == 1 ? high : *std::max_element(differences_.begin(), middle);
  score.Offset = std::clamp(std::clamp(0, low, high), -kMaxAutoOffset, kMaxAutoOffset);
  score.Sum = SortedSum(sorted, score.Offset);
  return score;
}

void tSpectrumScorer::FillCosts(const tResidueShifts* residues, std::size_t count,
                                std::int32_t offset) {
  for (std::size_t r = 0; r < count; ++r) {
    for (std::size_t s = 0; s < count; ++s) {
      if (residues[r].Count != measured_.LineLength(s)) {
        cost_[r][s] = kNoMatch;
        continue;
      }
      const std::int32_t* line = measured_.Line(s);
      std::uint32_t sum = 0;
      for (std::size_t k = 0; k < residues[r].Count; ++k) {
        sum += Distance(residues[r].Shifts[k], line[k] + offset);
      }
      cost_[r][s] = sum;
    }
  }
}

std::uint32_t tSpectrumScorer::SpinSum(const tResidueShifts* residues, std::size_t count,
                                       std::int32_t offset, std::uint32_t bound) {
  FillCosts(residues, count, offset);
  // best_[used] = the smallest cost of giving the first popcount(used) residues the lines in
  // `used`; partial sums above the bound go no further.
  const std::size_t full = (std::size_t{1} << count) - 1;
  std::fill(best_.begin(), best_.begin() + static_cast<std::ptrdiff_t>(full + 1), kNoMatch);
  best_[0] = 0;
  for (std::size_t used = 0; used < full; ++used) {
    const std::uint32_t so_far = best_[used];
    if (so_far > bound || so_far >= kNoMatch) continue;
    const auto& costs = cost_[static_cast<std::size_t>(std::popcount(used))];
    for (std::size_t s = 0; s < count; ++s) {
      if ((used >> s) & 1u) continue;
      std::uint32_t& next = best_[used | (std::size_t{1} << s)];
      next = std::min(next, so_far + costs[s]);
    }
  }
  return best_[full];
}

void tSpectrumScorer::FillAssignment(const tResidueShifts* residues, std::size_t count,
                                     tScore& score) {
  FillCosts(residues, count, score.Offset);
  // best_[used] = the smallest cost of giving the residues from popcount(used) on the lines not
  // in `used`; then each residue in turn takes the lowest line that keeps the sum smallest.
  const std::size_t full = (std::size_t{1} << count) - 1;
  best_[full] = 0;
  for (std::size_t used = full; used-- > 0;) {
    const auto& costs = cost_[static_cast<std::size_t>(std::popcount(used))];
    std::uint32_t best = kNoMatch;
    for (std::size_t s = 0; s < count; ++s) {
      if (((used >> s) & 1u) == 0) best = std::min(best, costs[s] + best_[used | (std::size_t{1} << s)]);
    }
    best_[used] = std::min(best, kNoMatch);
  }
  std::size_t used = 0;
  for (std::size_t r = 0; r < count; ++r) {
    for (std::size_t s = 0; s < count; ++s) {
      const std::size_t with = used | (std::size_t{1} << s);
      if (with != used && cost_[r][s] + best_[with] == best_[used]) {
        used = with;
        score.LineOfNode[residues[r].Node] = static_cast<std::uint8_t>(s + 1);
        break;
      }
    }
  }
}

tScore tSpectrumScorer::SpinScore(const tResidueShifts* residues, std::size_t count,
                                  const std::int32_t* sorted, bool details) {
  if (count != measured_.LineCount()) CheckFailed("range check error: residues and spin systems");
  tScore score;
  if (!measured_.AutoOffset()) {
    score.Sum = SpinSum(residues, count, 0);
  } else {
    // The sorted comparison never exceeds the residue-matched sum at the same offset, and it is
    // convex in the offset: starting from its best offset, the search goes outward on each side
    // until the sorted sum alone exceeds the best residue-matched sum found.
    score.Offset = SortedScore(sorted).Offset;
    score.Sum = SpinSum(residues, count, score.Offset);
    const std::int32_t start = score.Offset;
    for (const std::int32_t step : {-1, 1}) {
      for (std::int32_t offset = start + step; std::abs(offset) <= kMaxAutoOffset; offset += step) {
        if (SortedSum(sorted, offset) > score.Sum) break;
        const std::uint32_t sum = SpinSum(residues, count, offset, score.Sum);
        if (sum < score.Sum || (sum == score.Sum && Preferred(offset, score.Offset))) {
          score.Sum = sum;
          score.Offset = offset;
        }
      }
    }
  }
  if (details) FillAssignment(residues, count, score);
  return score;
}

}  // namespace glycomb
