#include "confidence/probability.hpp"

#include <algorithm>
#include <cmath>

namespace glycomb {

bool ShowsProbabilities(const tTask& task) {
  return task.SpinSystems != 0 || task.AutoCorrection != 0;
}

tProbabilities StructureProbabilities(const std::vector<std::uint32_t>& sums, double outside,
                                      double scale) {
  tProbabilities result;
  if (sums.empty()) {
    result.Outside = 1;
    return result;
  }
  const std::uint32_t least = *std::min_element(sums.begin(), sums.end());
  double total = std::max(outside, 0.0);
  for (const std::uint32_t sum : sums) {
    result.Structures.push_back(std::exp(-(static_cast<double>(sum) - least) / scale));
    total += result.Structures.back();
  }
  for (double& p : result.Structures) p /= total;
  result.Outside = std::max(outside, 0.0) / total;
  return result;
}

std::string FormatProbability(double probability) {
  const long hundredths = std::lround(std::clamp(probability, 0.0, 1.0) * 100);
  const std::string digits = std::to_string(hundredths % 100);
  return std::to_string(hundredths / 100) + "." + (digits.size() == 1 ? "0" : "") + digits;
}

std::string FormatUpperBound(double probability) {
  return FormatProbability(std::ceil(probability * 100 - 1e-9) / 100);
}

}  // namespace glycomb
