// How likely each kept structure is. The error model: the calculated shifts of the right structure
// miss the measured ones by independent Laplace errors of one scale, so a structure whose sum of
// absolute differences is S has the likelihood exp(-S / scale), and the probability of a
// structure is its likelihood over the sum of those of every structure the task allows. The kept
// structures are summed exactly; the others only bounded from above, so the probabilities stated
// are lower bounds and the rest ("outside the list") an upper bound. docs/probability.md gives the
// model, the bound and the calibration that fixed the scale.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "input/task.hpp"

namespace glycomb {

// The scale of the error model, in ppm of the sum, fitted on synthetic tasks whose noise is
// resampled from the residuals of published structures (docs/calibration.md).
inline constexpr double kErrorScalePpm = 0.578;

// What a part of the structures not kept may weigh, relative to the best kept one, to be left to
// a lower bound of its sums instead of being scored (the bound of the rest is then looser by at
// most this much per part).
inline constexpr double kNegligibleWeight = 1e-6;

// Whether a task's result carries probabilities: the spin systems or the automatic offset, whose
// sums the scale was fitted for.
bool ShowsProbabilities(const tTask& task);

struct tProbabilities {
  std::vector<double> Structures;  // in the order of the sums given
  double Outside = 0;              // at most the probability that the structure is none of them
};

// The probabilities of structures with sums `sums` (tenths of a ppm) when the structures not
// among them weigh at most `outside` (relative to the least of the sums: sum of
// exp(-(S - least) / scale) over them), `scale` in tenths of a ppm. They and Outside add up to 1.
tProbabilities StructureProbabilities(const std::vector<std::uint32_t>& sums, double outside,
                                      double scale);

// A probability as the result file and the page write it: two decimals.
std::string FormatProbability(double probability);
// An upper bound of a probability in two decimals that still bound it (rounded up).
std::string FormatUpperBound(double probability);

}  // namespace glycomb
