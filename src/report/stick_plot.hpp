// The calculated spectrum of a structure against the measured one, carbon by carbon.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "report/report_model.hpp"

namespace glycomb {

// The pairing the deviation uses: the calculated shifts of all residues, sorted ascending (equal
// shifts in residue and carbon order), paired with the measured shifts sorted ascending. Returns,
// per residue and carbon, the measured shift paired with that carbon. The two spectra must have
// the same length.
std::vector<signal_array> RankMatching(const tReportUnit& unit, const signal_array& measured);

// An <svg> stick plot on a ppm axis that decreases to the right: the measured shifts as sticks up
// (none when `measured` is empty), the calculated shifts as sticks down, each calculated stick
// joined to the measured shift that `matching` pairs with it (per residue and carbon; none when
// null). Calculated sticks and joins take the colour of their residue, a measured stick that of
// the residue paired with it. Sticks are lines of class "stick" and "measured" or "calculated",
// joins lines of class "join"; the axis ticks are groups of class "tick".
std::string DrawStickPlot(const tReportUnit& unit, const signal_array& measured,
                          const std::vector<signal_array>* matching);

}  // namespace glycomb
