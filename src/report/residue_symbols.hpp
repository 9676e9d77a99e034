// How a residue of a report is drawn and named: its SNFG symbol and its IUPAC abbreviation, looked
// up by its NAMES.PS name. Every name gets an answer; names without a symbol get a labelled white
// shape.
#pragma once

#include <cstdint>
#include <string>

#include "report/report_model.hpp"

namespace glycomb {

enum class tSnfgShape : std::uint8_t {
  kCircle,
  kSquare,
  kCrossedSquare,
  kDividedDiamond,
  kTriangle,
  kDividedTriangle,
  kFlatRectangle,
  kStar,
  kDiamond,
  kFlatDiamond,
  kFlatHexagon,
  kPentagon,
  kRoundedRectangle,  // non-sugars
};

enum class tSnfgColour : std::uint8_t {
  kWhite,
  kBlue,
  kGreen,
  kYellow,
  kLightBlue,
  kPink,
  kPurple,
  kBrown,
  kOrange,
  kRed,
};

struct tSnfgSymbol {
  tSnfgShape Shape = tSnfgShape::kFlatHexagon;
  tSnfgColour Colour = tSnfgColour::kWhite;
  bool Inverted = false;  // divided shapes: the coloured half below (or right of) the white one
  bool Fallback = true;   // no symbol of its own: a white shape labelled with the name
  std::string Label;      // text inside: the name of a fallback, else "f" and D or L as needed
};

// The symbol of `residue`. `amino_substituted`: a residue is attached to its amino group, so an
// N-acyl hexosamine is drawn as the plain hexosamine that carries it.
tSnfgSymbol SymbolOf(const tReportResidue& residue, bool amino_substituted);

// The IUPAC extended name of `residue`, e.g. "β-D-Galp", "α-L-Rhap", "D-Rib-ol", "P".
std::string IupacResidueName(const tReportResidue& residue, bool amino_substituted);

// Whether a residue attached to `residue` is N-linked (it then carries it on its amino group).
bool AminoSubstituted(const tReportUnit& unit, int residue);

// CSS class names of shapes and colours, and the colours themselves.
const char* ShapeClassName(tSnfgShape shape);
const char* ColourClassName(tSnfgColour colour);
const char* ColourValue(tSnfgColour colour);
bool IsDarkColour(tSnfgColour colour);

// "α", "β" or "" for residues without an anomeric centre.
std::string AnomericSymbol(const tReportResidue& residue);

}  // namespace glycomb
