// What the structures a search did not keep weigh together under the error model of the
// probabilities, exp(-S / scale) for a sum S: an upper bound, worked out after the search from its
// final table alone, so that it is the same whatever the number of threads. docs/probability.md
// says how it enters the probabilities and what it costs.
#pragma once

#include <optional>

#include "console/stop_token.hpp"
#include "search/best_structures.hpp"
#include "search/search.hpp"

namespace glycomb {

// At least the sum of exp(-(S - B) / scale) over every candidate of the task that meets the LINK
// lines and is not held by `best` (the search's final table), B its best sum, `scale` in tenths
// of a ppm. Candidates near B are scored exactly; a subtree is left to its lower bound L when
// count * exp(-(L - B) / scale) is at most `negligible`. A polymer that the task allows in several
// written forms counts once for each, except forms of equivalent sequences of one pass (docs/
// search.md, section 3), which count once. A table that is not full holds every structure that
// meets the LINK lines: nothing is outside it. None when a stop request arrives (looked at after
// every sequence).
std::optional<double> OutsideWeight(const tSearchTables& tables, const tBestStructures& best,
                                    double scale, double negligible, unsigned threads,
                                    const tStopToken& stop);

}  // namespace glycomb
