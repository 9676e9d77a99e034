// The repeating unit drawn in the Symbol Nomenclature for Glycans: one symbol per residue, the
// main chain from left to right (the residue on the right carries the one on its left), side chains
// as branches above the residue that carries them, the anomeric configuration and the position on
// every bond, and the repeating-unit bracket with "n".
#pragma once

#include <string>

#include "report/report_model.hpp"

namespace glycomb {

// An <svg> element (SVG namespace, no external references). Residue symbols are groups of class
// "residue" with their shape and colour classes (see residue_symbols.hpp), drawn around (0, 0) and
// moved to their place by a translation; every linkage is a group
// of class "bond" holding its line(s) and one "linkage" label; the linkage that closes the unit
// crosses the brackets and has the class "closing" as well. A bond that a LINK line fixed (the
// attached residue's Link) has the class "linked", its line's number (from 1) in "data-link" and
// a "link-mark" text "LINK k".
std::string DrawUnit(const tReportUnit& unit);

}  // namespace glycomb
