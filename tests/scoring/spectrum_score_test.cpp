// The scores against brute force: every assignment of residues to spin systems and every offset
// tried one by one, every one-to-one map of a few values tried; and the bounds never above the
// score they bound.
#include "scoring/spectrum_score.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <limits>
#include <numeric>
#include <random>
#include <vector>

namespace glycomb {
namespace {

std::int32_t Random(std::mt19937& random, std::int32_t low, std::int32_t high) {
  return std::uniform_int_distribution<std::int32_t>(low, high)(random);
}

std::uint32_t SortedSum(std::vector<std::int32_t> x, std::vector<std::int32_t> y,
                        std::int32_t offset) {
  std::sort(x.begin(), x.end());
  std::sort(y.begin(), y.end());
  std::uint32_t sum = 0;
  for (std::size_t k = 0; k < x.size(); ++k) sum += static_cast<std::uint32_t>(std::abs(x[k] - y[k] - offset));
  return sum;
}

// Whether offset a comes before b among equal sums: nearer zero, then the lower.
bool Before(std::int32_t a, std::int32_t b) {
  return std::abs(a) < std::abs(b) || (std::abs(a) == std::abs(b) && a < b);
}

struct tRandomTask {
  tTask Task;
  std::vector<std::vector<std::int32_t>> Residues;  // calculated, C1 first
};

// Random residues of 1..6 carbons and spin systems of the same lengths in a shuffled order,
// each near some residue's shifts (so that assignments matter) or anywhere.
tRandomTask MakeTask(std::mt19937& random, bool spin, bool automatic) {
  tRandomTask t;
  const int count = Random(random, 1, 6);
  std::vector<std::vector<std::int32_t>> lines;
  for (int r = 0; r < count; ++r) {
    const int carbons = Random(random, 1, 3) * 2;
    std::vector<std::int32_t> residue, line;
    for (int k = 0; k < carbons; ++k) {
      residue.push_back(Random(random, 600, 1100));
      line.push_back(Random(random, 0, 2) == 0 ? Random(random, 600, 1100)
                                               : residue.back() + Random(random, -60, 60));
    }
    t.Residues.push_back(residue);
    lines.push_back(line);
  }
  std::shuffle(lines.begin(), lines.end(), random);
  for (const auto& line : lines) {
    t.Task.Spectrum.insert(t.Task.Spectrum.end(), line.begin(), line.end());
    t.Task.SpinLines.push_back(line);
  }
  std::sort(t.Task.Spectrum.begin(), t.Task.Spectrum.end());
  t.Task.SpinSystems = spin ? 1 : 0;
  t.Task.AutoCorrection = automatic ? 1 : 0;
  return t;
}

// The sorted comparison holds sums beyond 16 bits and negative shifts (that it pairs the shifts
// by rank is checked against brute force below).
TEST(SpectrumScoreTest, SortedComparisonHoldsLargeSums) {
  const struct {
    std::vector<std::int32_t> calculated, measured;  // any order
    std::uint32_t sum;
  } cases[] = {
      {{10, -20, 0}, {0, 0, 0}, 30},
      {{30000, 30000, 5536}, {0, 0, 0}, 65536},
      {{-9990, -9990, -9990}, {9999, 9999, 9999}, 59967},
  };
  for (const auto& c : cases) {
    tTask task;
    task.Spectrum = c.measured;
    std::sort(task.Spectrum.begin(), task.Spectrum.end());
    const tMeasuredSpectrum measured(task);
    tSpectrumScorer scorer(measured);
    std::vector<std::int32_t> sorted = c.calculated;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(scorer.SortedScore(sorted.data()).Sum, c.sum);
  }
}

// Every other task has one or two LINK lines between random spin systems, the residues attached
// as a random tree (each to an earlier one, at position 2..4; the first to the last).
TEST(SpectrumScoreTest, SpinAndSortedScoresAgainstEveryAssignmentAndOffset) {
  std::mt19937 random(10);
  for (int i = 0; i < 600; ++i) {
    const bool automatic = i % 2 == 1;
    tRandomTask t = MakeTask(random, true, automatic);
    const int count = static_cast<int>(t.Residues.size());
    for (int k = 0; count > 1 && (i / 2) % 2 == 1 && k < Random(random, 1, 2); ++k) {
      const int from = Random(random, 1, count);
      const int to = from % count + 1;
      t.Task.Links.push_back({static_cast<std::uint8_t>(from),
                              static_cast<std::uint8_t>(Random(random, 0, 1) * Random(random, 2, 4)),
                              static_cast<std::uint8_t>(to), ""});
    }
    const tMeasuredSpectrum measured(t.Task);
    tSpectrumScorer scorer(measured);
    std::vector<std::int32_t> calculated;
    std::vector<tResidueShifts> residues;
    for (std::size_t r = 0; r < t.Residues.size(); ++r) {
      calculated.insert(calculated.end(), t.Residues[r].begin(), t.Residues[r].end());
      const int parent = r == 0 ? count - 1 : Random(random, 0, static_cast<int>(r) - 1);
      residues.push_back({t.Residues[r].data(), static_cast<std::uint8_t>(t.Residues[r].size()),
                          static_cast<std::uint8_t>(r),
                          count == 1 ? kNoParentResidue : static_cast<std::uint8_t>(parent),
                          static_cast<std::uint8_t>(Random(random, 2, 4))});
    }
    // Whether the lines given to the residues meet every LINK line.
    const auto meets = [&](const std::vector<std::size_t>& lines) {
      for (const tLink& link : t.Task.Links) {
        bool met = false;
        for (std::size_t r = 0; r < lines.size() && !met; ++r) {
          const std::uint8_t parent = residues[r].Parent;
          met = parent != kNoParentResidue && parent != r && lines[r] + 1 == link.From &&
                lines[parent] + 1 == link.To &&
                (link.Position == 0 || residues[r].Position == link.Position);
        }
        if (!met) return false;
      }
      return true;
    };
    std::vector<std::int32_t> sorted = calculated;
    std::sort(sorted.begin(), sorted.end());

    // Naively: every offset and every permutation of the lines.
    std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
    std::int32_t best_offset = 0;
    std::vector<std::size_t> best_lines;
    std::uint32_t best_sorted = std::numeric_limits<std::uint32_t>::max();
    std::int32_t best_sorted_offset = 0;
    const std::int32_t range = automatic ? kMaxAutoOffset : 0;
    for (std::int32_t offset = -range; offset <= range; ++offset) {
      const std::uint32_t sorted_sum = SortedSum(calculated, t.Task.Spectrum, offset);
      if (sorted_sum < best_sorted || (sorted_sum == best_sorted && Before(offset, best_sorted_offset))) {
        best_sorted = sorted_sum;
        best_sorted_offset = offset;
      }
      std::vector<std::size_t> lines(t.Residues.size());
      std::iota(lines.begin(), lines.end(), 0);
      do {
        std::uint32_t sum = 0;
        bool fits = true;
        for (std::size_t r = 0; r < lines.size() && fits; ++r) {
          const auto& line = t.Task.SpinLines[lines[r]];
          fits = line.size() == t.Residues[r].size();
          for (std::size_t k = 0; fits && k < line.size(); ++k) {
            sum += static_cast<std::uint32_t>(std::abs(t.Residues[r][k] - line[k] - offset));
          }
        }
        if (!fits || !meets(lines)) continue;
        // Equal sums: the offset nearer zero, then for the assignment the lowest lines first.
        if (sum < best || (sum == best && Before(offset, best_offset)) ||
            (sum == best && offset == best_offset && lines < best_lines)) {
          best = sum;
          best_offset = offset;
          best_lines = lines;
        }
      } while (std::next_permutation(lines.begin(), lines.end()));
    }

    const tScore spin = scorer.SpinScore(residues.data(), residues.size(), sorted.data());
    if (best == std::numeric_limits<std::uint32_t>::max()) {
      EXPECT_EQ(spin.Sum, kInfeasibleSum) << i;  // no assignment meets the LINK lines
      continue;
    }
    ASSERT_EQ(spin.Sum, best) << i;
    EXPECT_EQ(spin.Offset, best_offset) << i;
    for (std::size_t r = 0; r < best_lines.size(); ++r) {
      EXPECT_EQ(spin.LineOfNode[r], best_lines[r] + 1) << i << " residue " << r;
    }
    const tScore ordered = scorer.SortedScore(sorted.data());
    EXPECT_EQ(ordered.Sum, best_sorted) << i;
    EXPECT_EQ(ordered.Offset, best_sorted_offset) << i;
    EXPECT_LE(ordered.Sum, spin.Sum) << i;
  }
}

// The smallest one-to-one map of a into b, found by trying every subset of b of a's size.
std::uint32_t NaiveInjection(const std::vector<std::int32_t>& a, const std::vector<std::int32_t>& b) {
  std::uint32_t best = std::numeric_limits<std::uint32_t>::max();
  for (unsigned used = 0; used < (1u << b.size()); ++used) {
    if (static_cast<std::size_t>(__builtin_popcount(used)) != a.size()) continue;
    std::vector<std::int32_t> chosen;
    for (std::size_t j = 0; j < b.size(); ++j) {
      if ((used >> j) & 1u) chosen.push_back(b[j]);
    }
    best = std::min(best, SortedSum(a, chosen, 0));
  }
  return best;
}

// Any spectrum holding the values of a partial structure is at least the map of those values;
// the additive bound, for any fit, is at most the sorted comparison and equal to it for the
// spectrum it was fitted to.
TEST(SpectrumScoreTest, BoundsNeverExceedTheSortedComparison) {
  std::mt19937 random(3);
  for (int i = 0; i < 300; ++i) {
    const std::size_t m = static_cast<std::size_t>(Random(random, 1, 10));
    tTask task;
    for (std::size_t k = 0; k < m; ++k) task.Spectrum.push_back(Random(random, 600, 1100));
    std::sort(task.Spectrum.begin(), task.Spectrum.end());
    const tMeasuredSpectrum measured(task);
    std::vector<std::int32_t> a(static_cast<std::size_t>(Random(random, 0, static_cast<int>(m))));
    for (std::int32_t& v : a) v = Random(random, 550, 1150);
    std::sort(a.begin(), a.end());
    std::vector<std::uint32_t> work(3 * m + 2);
    EXPECT_EQ(InjectionCost(a.data(), a.size(), task.Spectrum.data(), m, work.data()),
              NaiveInjection(a, task.Spectrum))
        << i;

    tAdditiveBound bound(measured);
    std::vector<std::int32_t> fitted(m), other(m);
    for (std::int32_t& v : fitted) v = Random(random, 550, 1150);
    for (std::int32_t& v : other) v = Random(random, 550, 1150);
    std::sort(fitted.begin(), fitted.end());
    const auto additive = [&](const std::vector<std::int32_t>& x) {
      std::int64_t sum = bound.Constant();
      for (const std::int32_t v : x) sum += bound.Term(v);
      return sum;
    };
    EXPECT_LE(additive(other), SortedSum(other, task.Spectrum, 0)) << i;
    bound.Fit(fitted.data());
    EXPECT_EQ(additive(fitted), SortedSum(fitted, task.Spectrum, 0)) << i;
    EXPECT_LE(additive(other), SortedSum(other, task.Spectrum, 0)) << i;
  }
}

}  // namespace
}  // namespace glycomb
