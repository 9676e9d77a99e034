// The IUPAC extended form of a repeating unit, as chemists write a polysaccharide:
// →3)-β-D-Galp-(1→3)-[α-D-Galp-(1→2)]-α-D-Galp-(1→
#pragma once

#include <string>

#include "report/report_model.hpp"

namespace glycomb {

// The main chain from left to right, each side chain in square brackets before the residue that
// carries it; the unit opens with the position of its first residue that carries the last one and
// ends with the open linkage of the last one. A phosphate bridges two residues as (1→P→6).
std::string IupacRepeatingUnit(const tReportUnit& unit);

}  // namespace glycomb
