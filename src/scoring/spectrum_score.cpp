#include "scoring/spectrum_score.hpp"

#include <algorithm>
#include <cstdlib>

#include "console/checked.hpp"

namespace glycomb {
namespace {

constexpr std::uint32_t kNoMatch = kNoLineMatch;
constexpr std::uint8_t kFree = 255;  // a residue or line that no LINK line places

// Whether residue r may take line s where the LINK lines have placed the residues in `line_of`
// and the lines in `residue_of`.
bool Fits(const std::array<std::uint8_t, kMaxResidues>& line_of,
          const std::array<std::uint8_t, kMaxResidues>& residue_of, std::size_t r, std::size_t s) {
  return (line_of[r] == kFree || line_of[r] == s) && (residue_of[s] == kFree || residue_of[s] == r);
}

// The number of lines in each set of lines (std::popcount is a library call on the baseline
// x86-64 target, and the assignments count the lines of every set).
constexpr auto kLinesIn = [] {
  std::array<std::uint8_t, std::size_t{1} << kMaxResidues> count{};
  for (std::size_t set = 1; set < count.size(); ++set) {
    count[set] = static_cast<std::uint8_t>(count[set >> 1] + (set & 1u));
  }
  return count;
}();

// Whether offset a is preferred to offset b among equal sums: the one nearer zero, and of two
// equally near the lower one.
bool Preferred(std::int32_t a, std::int32_t b) {
  return std::abs(a) < std::abs(b) || (std::abs(a) == std::abs(b) && a < b);
}

std::uint32_t Distance(std::int32_t a, std::int32_t b) {
  return a < b ? static_cast<std::uint32_t>(b - a) : static_cast<std::uint32_t>(a - b);
}

}  // namespace

// A cheapest map keeps the order of the values. After the first j + 1 values of b, cost[t] is the
// cheapest map of the first j + 1 - t values of a into them, t of them left unused (0 <= t <=
// b_count - a_count); the next value of b is either taken for the next value of a or left. The
// loop over t has a fixed length and reads the costs of the step before, so that the compiler
// can keep it in vector registers; the values of a it needs stand in `work` in reverse order,
// padded at both ends with values that no cheapest map takes.
std::uint32_t InjectionCost(const std::int32_t* a, std::size_t a_count, const std::int32_t* b,
                            std::size_t b_count, std::uint32_t* work) {
  if (a_count == 0) return 0;
  if (a_count > b_count) return std::numeric_limits<std::uint32_t>::max();
  constexpr std::int32_t kUnreached = 1 << 29;
  constexpr std::int32_t kFar = 1 << 28;  // a value of a that is out of reach
  const std::size_t width = b_count - a_count + 1;
  // reversed[q] = a[a_count - 1 - (q - width)]: a[j - t] stands at reversed[a_count - 1 - j + t +
  // width]... indexed below from the step's base.
  std::int32_t* __restrict reversed = reinterpret_cast<std::int32_t*>(work);
  const std::size_t padded = a_count + 2 * width;
  for (std::size_t q = 0; q < padded; ++q) {
    const std::ptrdiff_t index = static_cast<std::ptrdiff_t>(a_count + width) - 1 -
                                 static_cast<std::ptrdiff_t>(q);
    reversed[q] = index >= 0 && index < static_cast<std::ptrdiff_t>(a_count)
                      ? a[static_cast<std::size_t>(index)]
                      : kFar;
  }
  std::int32_t buffers[2][kMaxCarbonsInBound + 2];
  std::int32_t* __restrict before = buffers[0] + 1;
  std::int32_t* __restrict after = buffers[1] + 1;
  before[-1] = after[-1] = kUnreached;
  before[0] = 0;  // before the first value of b: nothing mapped, nothing left
  for (std::size_t t = 1; t < width; ++t) before[t] = kUnreached;
  for (std::size_t j = 0; j < b_count; ++j) {
    const std::int32_t value = b[j];
    // a[j - t] for t = 0.. stands at reversed[base + t].
    const std::int32_t* __restrict window = reversed + (a_count + width - 1 - j);
    for (std::size_t t = 0; t < width; ++t) {
      const std::int32_t difference = window[t] - value;
      const std::int32_t distance = difference < 0 ? -difference : difference;
      const std::int32_t taken = before[t] + distance;
      const std::int32_t left = before[static_cast<std::ptrdiff_t>(t) - 1];
      std::int32_t best = taken < left ? taken : left;
      after[t] = best < kUnreached ? best : kUnreached;
    }
    std::swap(before, after);
  }
  return static_cast<std::uint32_t>(before[width - 1]);
}

tMeasuredSpectrum::tMeasuredSpectrum(const tTask& task)
    : spin_systems_(task.SpinSystems != 0),
      auto_offset_(task.AutoCorrection != 0),
      sorted_(task.Spectrum) {
  if (task.Links.size() > links_.size()) CheckFailed("range check error: LINK lines");
  for (const tLink& link : task.Links) {
    links_[link_count_++] = {Narrow<std::uint8_t>(link.From - 1), link.Position,
                             Narrow<std::uint8_t>(link.To - 1)};
  }
  if (!spin_systems_) return;
  if (task.SpinLines.size() > kMaxResidues) CheckFailed("range check error: spin systems");
  line_count_ = task.SpinLines.size();
  for (std::size_t s = 0; s < line_count_; ++s) {
    line_start_[s] = Narrow<std::uint16_t>(values_.size());
    line_length_[s] = Narrow<std::uint8_t>(task.SpinLines[s].size());
    values_.insert(values_.end(), task.SpinLines[s].begin(), task.SpinLines[s].end());
  }
}

tAdditiveBound::tAdditiveBound(const tMeasuredSpectrum& measured)
    : measured_(measured), potential_(measured.Size(), 0) {
  Tabulate();
}

// On the line the sorted comparison is the transport cost between the two spectra, and its
// potential falls by one per unit where more calculated than measured shifts lie below, and
// rises where fewer do; Term(x) = min over measured y of |x - y| + potential(y).
void tAdditiveBound::Fit(const std::int32_t* sorted) {
  const std::size_t m = measured_.Size();
  const std::int32_t* y = measured_.Sorted();
  std::size_t i = 0, j = 0;
  std::int64_t surplus = 0;  // calculated minus measured shifts at or below the position
  std::int64_t potential = 0;
  std::int32_t position = m > 0 ? std::min(sorted[0], y[0]) : 0;
  while (j < m) {
    const std::int32_t next = i < m ? std::min(sorted[i], y[j]) : y[j];
    potential -= (surplus > 0 ? 1 : surplus < 0 ? -1 : 0) * static_cast<std::int64_t>(next - position);
    position = next;
    while (i < m && sorted[i] == position) ++surplus, ++i;
    while (j < m && y[j] == position) {
      --surplus;
      potential_[j++] = static_cast<std::int32_t>(potential);
    }
  }
  Tabulate();
}

std::int32_t tAdditiveBound::Direct(std::int32_t x) const {
  std::int64_t best = std::numeric_limits<std::int32_t>::max();
  const std::int32_t* y = measured_.Sorted();
  for (std::size_t j = 0; j < measured_.Size(); ++j) {
    best = std::min(best, std::abs(static_cast<std::int64_t>(x) - y[j]) + potential_[j]);
  }
  return static_cast<std::int32_t>(best);
}

void tAdditiveBound::Tabulate() {
  constexpr std::int32_t kMargin = 1000;  // 100 ppm beyond the measured shifts
  const std::size_t m = measured_.Size();
  constant_ = 0;
  for (const std::int32_t p : potential_) constant_ -= p;
  terms_.clear();
  if (m == 0) return;
  const std::int32_t* y = measured_.Sorted();
  low_ = y[0] - kMargin;
  const std::size_t size = static_cast<std::size_t>(y[m - 1] - y[0]) + 2 * kMargin + 1;
  terms_.assign(size, std::numeric_limits<std::int32_t>::max());
  // The lower envelope of the cones |x - y| + potential(y), from the left and from the right.
  std::int64_t best = std::numeric_limits<std::int32_t>::max();
  std::size_t j = 0;
  for (std::size_t at = 0; at < size; ++at) {
    const std::int64_t x = low_ + static_cast<std::int64_t>(at);
    while (j < m && y[j] <= x) best = std::min(best, static_cast<std::int64_t>(potential_[j]) - y[j]), ++j;
    if (best < std::numeric_limits<std::int32_t>::max()) terms_[at] = static_cast<std::int32_t>(best + x);
  }
  best = std::numeric_limits<std::int32_t>::max();
  j = m;
  for (std::size_t at = size; at-- > 0;) {
    const std::int64_t x = low_ + static_cast<std::int64_t>(at);
    while (j > 0 && y[j - 1] >= x) --j, best = std::min(best, static_cast<std::int64_t>(potential_[j]) + y[j]);
    if (best < std::numeric_limits<std::int32_t>::max()) {
      terms_[at] = static_cast<std::int32_t>(std::min<std::int64_t>(terms_[at], best - x));
    }
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

void AttachResidues(const tStructure& structure, const tTopology& topology,
                    tResidueShifts* residues, std::size_t count) {
  std::array<std::uint8_t, kMaxResidues> residue_of_node;
  residue_of_node.fill(kNoParentResidue);
  for (std::size_t r = 0; r < count; ++r) At(residue_of_node, residues[r].Node) = static_cast<std::uint8_t>(r);
  for (std::size_t r = 0; r < count; ++r) {
    const std::uint8_t node = residues[r].Node;
    residues[r].Parent = residue_of_node[At(topology.Nodes, node).Parent];
    residues[r].Position = AttachmentPosition(structure, topology, node);
  }
}

tSpectrumScorer::tLinkAbility tSpectrumScorer::Able(const tResidueShifts* residues,
                                                    std::size_t count) const {
  tLinkAbility able{};
  for (std::size_t k = 0; k < measured_.LinkCount(); ++k) {
    const tLineLink& link = measured_.Link(k);
    for (std::size_t r = 0; r < count; ++r) {
      const std::uint8_t parent = residues[r].Parent;
      if (parent != kNoParentResidue && parent != r &&
          residues[r].Count == measured_.LineLength(link.From) &&
          residues[parent].Count == measured_.LineLength(link.To) &&
          (link.Position == 0 || residues[r].Position == link.Position)) {
        able[k] = static_cast<std::uint16_t>(able[k] | (1u << r));
      }
    }
  }
  return able;
}

// Each LINK line is met by one residue of its mask and the residue that carries it; those are
// then fixed to the line's two spin systems, consistently across the lines.
template <class tVisit>
void tSpectrumScorer::ForEachLinking(const tResidueShifts* residues, std::size_t count,
                                     const tLinkAbility& able, const tVisit& visit) {
  std::array<std::uint8_t, kMaxResidues> line_of{};     // forced line of each residue
  std::array<std::uint8_t, kMaxResidues> residue_of{};  // forced residue of each line
  line_of.fill(kFree);
  residue_of.fill(kFree);
  const auto choose = [&](const auto& self, std::size_t k) -> void {
    if (k == measured_.LinkCount()) {
      visit(line_of, residue_of);
      return;
    }
    const tLineLink& link = measured_.Link(k);
    for (std::size_t r = 0; r < count; ++r) {
      if (((able[k] >> r) & 1u) == 0) continue;
      const std::uint8_t parent = residues[r].Parent;
      if (!Fits(line_of, residue_of, r, link.From) || !Fits(line_of, residue_of, parent, link.To)) {
        continue;
      }
      const auto saved_lines = line_of;
      const auto saved_residues = residue_of;
      line_of[r] = link.From;
      residue_of[link.From] = static_cast<std::uint8_t>(r);
      line_of[parent] = link.To;
      residue_of[link.To] = parent;
      self(self, k + 1);
      line_of = saved_lines;
      residue_of = saved_residues;
    }
  };
  choose(choose, 0);
}

std::uint32_t tSpectrumScorer::LinkedAssignment(const tCostMatrix& costs,
                                                const tResidueShifts* residues, std::size_t count,
                                                const tLinkAbility& able, std::uint32_t bound) {
  std::uint32_t best = kNoLineMatch;
  ForEachLinking(residues, count, able, [&](const tPlaced& line_of, const tPlaced& residue_of) {
    // The residues the LINK lines place cost what they cost; the others share the lines left.
    std::uint32_t placed = 0;
    std::array<std::uint8_t, kMaxResidues> free_lines{};
    std::size_t lines = 0;
    for (std::size_t s = 0; s < count; ++s) {
      if (residue_of[s] == kFree) free_lines[lines++] = static_cast<std::uint8_t>(s);
    }
    std::size_t rows = 0;
    for (std::size_t r = 0; r < count; ++r) {
      if (line_of[r] != kFree) {
        placed = std::min(kNoMatch, placed + costs[r][line_of[r]]);
        continue;
      }
      for (std::size_t j = 0; j < lines; ++j) linked_[rows][j] = costs[r][free_lines[j]];
      ++rows;
    }
    const std::uint32_t limit = std::min(bound, best);
    if (placed >= kNoMatch || placed > limit) return;
    best = std::min(best, placed + CheapestAssignment(linked_, rows, limit - placed));
  });
  return best;
}

std::uint32_t tSpectrumScorer::SpinSum(const tResidueShifts* residues, std::size_t count,
                                       std::int32_t offset, std::uint32_t bound) {
  FillCosts(residues, count, offset);
  if (measured_.LinkCount() == 0) return CheapestAssignment(cost_, count, bound);
  return LinkedAssignment(cost_, residues, count, Able(residues, count), bound);
}

std::uint32_t tSpectrumScorer::CheapestAssignment(const tCostMatrix& cost, std::size_t count,
                                                  std::uint32_t bound) {
  // best_[used] = the smallest cost of giving the first popcount(used) residues the lines in
  // `used`; partial sums above the bound go no further.
  const std::size_t full = (std::size_t{1} << count) - 1;
  std::fill(best_.begin(), best_.begin() + static_cast<std::ptrdiff_t>(full + 1), kNoMatch);
  best_[0] = 0;
  for (std::size_t used = 0; used < full; ++used) {
    const std::uint32_t so_far = best_[used];
    if (so_far > bound || so_far >= kNoMatch) continue;
    const auto& costs = cost[static_cast<std::size_t>(kLinesIn[used])];
    for (std::size_t s = 0; s < count; ++s) {
      if ((used >> s) & 1u) continue;
      std::uint32_t& next = best_[used | (std::size_t{1} << s)];
      next = std::min(next, so_far + costs[s]);
    }
  }
  return best_[full];
}

void tSpectrumScorer::FillAssignment(const tCostMatrix& matrix, const tResidueShifts* residues,
                                     std::size_t count,
                                     std::array<std::uint8_t, kMaxResidues>& line_of_node) {
  line_of_node.fill(0);
  // best_[used] = the smallest cost of giving the residues from popcount(used) on the lines not
  // in `used`; then each residue in turn takes the lowest line that keeps the sum smallest.
  const std::size_t full = (std::size_t{1} << count) - 1;
  best_[full] = 0;
  for (std::size_t used = full; used-- > 0;) {
    const auto& costs = matrix[static_cast<std::size_t>(kLinesIn[used])];
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
      if (with != used && matrix[r][s] + best_[with] == best_[used]) {
        used = with;
        line_of_node[residues[r].Node] = static_cast<std::uint8_t>(s + 1);
        break;
      }
    }
  }
}

std::uint32_t tSpectrumScorer::BestOffsetSum(const std::int32_t* x, const std::int32_t* y,
                                             std::size_t count) {
  std::int32_t differences[kMaxCarbonsPerLine];
  if (count == 0 || count > kMaxCarbonsPerLine) return 0;
  for (std::size_t k = 0; k < count; ++k) differences[k] = x[k] - y[k];
  // The median of the differences (either middle one for an even count), within the range.
  std::nth_element(differences, differences + count / 2, differences + count);
  const std::int32_t offset = std::clamp(differences[count / 2], -kMaxAutoOffset, kMaxAutoOffset);
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < count; ++k) sum += Distance(x[k], y[k] + offset);
  return sum;
}

tScore tSpectrumScorer::SpinScore(const tResidueShifts* residues, std::size_t count,
                                  const std::int32_t* sorted) {
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
    // Whether the LINK lines can be met does not depend on the offset.
    for (const std::int32_t step : {-1, 1}) {
      if (score.Sum >= kNoLineMatch) break;
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
  if (score.Sum >= kNoLineMatch) {
    score.Sum = kInfeasibleSum;  // no assignment meets the LINK lines
    return score;
  }
  FillCosts(residues, count, score.Offset);
  if (measured_.LinkCount() == 0) {
    FillAssignment(cost_, residues, count, score.LineOfNode);
    return score;
  }
  // Of the ways of meeting the LINK lines with the least sum, the smallest assignment in node
  // order.
  bool found = false;
  std::array<std::uint8_t, kMaxResidues> lines{};
  ForEachLinking(residues, count, Able(residues, count),
                 [&](const tPlaced& line_of, const tPlaced& residue_of) {
    for (std::size_t r = 0; r < count; ++r) {
      for (std::size_t s = 0; s < count; ++s) {
        linked_[r][s] = Fits(line_of, residue_of, r, s) ? cost_[r][s] : kNoLineMatch;
      }
    }
    if (CheapestAssignment(linked_, count) != score.Sum) return;
    FillAssignment(linked_, residues, count, lines);
    if (!found || lines < score.LineOfNode) score.LineOfNode = lines;
    found = true;
  });
  return score;
}

}  // namespace glycomb
