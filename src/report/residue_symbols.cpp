#include "report/residue_symbols.hpp"

#include <array>
#include <string_view>

#include "console/checked.hpp"

namespace glycomb {
namespace {

using Shape = tSnfgShape;
using Colour = tSnfgColour;

// A residue name with a symbol of its own. Names are compared exactly with the NAMES.PS name; a
// furanose name ending in "f" (Galf) is looked up without it. Amino sugars are named as NAMES.PS
// names them, without the acyl group (its carbons are not counted there): GlcN is the N-acetyl
// glucosamine, drawn and named as GlcNAc.
struct tKnownResidue {
  std::string_view Name;
  std::string_view Stem;  // IUPAC, before the ring letter
  Shape Symbol;
  Colour Fill;
  bool Inverted;            // divided symbol with its coloured half below
  bool DefaultL;            // the symbol stands for the L form; the other form is marked
  std::string_view Suffix;  // IUPAC, after the ring letter
};

constexpr std::array kKnownResidues = {
    // Hexoses
    tKnownResidue{"Glc", "Glc", Shape::kCircle, Colour::kBlue, false, false, ""},
    tKnownResidue{"Man", "Man", Shape::kCircle, Colour::kGreen, false, false, ""},
    tKnownResidue{"Gal", "Gal", Shape::kCircle, Colour::kYellow, false, false, ""},
    tKnownResidue{"Gul", "Gul", Shape::kCircle, Colour::kOrange, false, false, ""},
    tKnownResidue{"Alt", "Alt", Shape::kCircle, Colour::kPink, false, true, ""},
    tKnownResidue{"All", "All", Shape::kCircle, Colour::kPurple, false, false, ""},
    tKnownResidue{"Tal", "Tal", Shape::kCircle, Colour::kLightBlue, false, false, ""},
    tKnownResidue{"Ido", "Ido", Shape::kCircle, Colour::kBrown, false, true, ""},
    // N-acetyl hexosamines
    tKnownResidue{"GlcN", "Glc", Shape::kSquare, Colour::kBlue, false, false, "NAc"},
    tKnownResidue{"ManN", "Man", Shape::kSquare, Colour::kGreen, false, false, "NAc"},
    tKnownResidue{"GalN", "Gal", Shape::kSquare, Colour::kYellow, false, false, "NAc"},
    tKnownResidue{"GulN", "Gul", Shape::kSquare, Colour::kOrange, false, false, "NAc"},
    tKnownResidue{"AltN", "Alt", Shape::kSquare, Colour::kPink, false, true, "NAc"},
    tKnownResidue{"AllN", "All", Shape::kSquare, Colour::kPurple, false, false, "NAc"},
    tKnownResidue{"TalN", "Tal", Shape::kSquare, Colour::kLightBlue, false, false, "NAc"},
    tKnownResidue{"IdoN", "Ido", Shape::kSquare, Colour::kBrown, false, true, "NAc"},
    // Hexuronic acids
    tKnownResidue{"GlcA", "Glc", Shape::kDividedDiamond, Colour::kBlue, false, false, "A"},
    tKnownResidue{"ManA", "Man", Shape::kDividedDiamond, Colour::kGreen, false, false, "A"},
    tKnownResidue{"GalA", "Gal", Shape::kDividedDiamond, Colour::kYellow, false, false, "A"},
    tKnownResidue{"GulA", "Gul", Shape::kDividedDiamond, Colour::kOrange, false, false, "A"},
    tKnownResidue{"AltA", "Alt", Shape::kDividedDiamond, Colour::kPink, true, true, "A"},
    tKnownResidue{"AllA", "All", Shape::kDividedDiamond, Colour::kPurple, false, false, "A"},
    tKnownResidue{"TalA", "Tal", Shape::kDividedDiamond, Colour::kLightBlue, false, false, "A"},
    tKnownResidue{"IdoA", "Ido", Shape::kDividedDiamond, Colour::kBrown, true, true, "A"},
    // 6-Deoxyhexoses and their N-acetyl amines
    tKnownResidue{"Qui", "Qui", Shape::kTriangle, Colour::kBlue, false, false, ""},
    tKnownResidue{"Rha", "Rha", Shape::kTriangle, Colour::kGreen, false, true, ""},
    tKnownResidue{"Fuc", "Fuc", Shape::kTriangle, Colour::kRed, false, true, ""},
    tKnownResidue{"QuiN", "Qui", Shape::kDividedTriangle, Colour::kBlue, false, false, "NAc"},
    tKnownResidue{"RhaN", "Rha", Shape::kDividedTriangle, Colour::kGreen, false, true, "NAc"},
    tKnownResidue{"FucN", "Fuc", Shape::kDividedTriangle, Colour::kRed, false, true, "NAc"},
    // 3,6-Dideoxyhexoses and 2,6-dideoxyhexoses
    tKnownResidue{"Oli", "Oli", Shape::kFlatRectangle, Colour::kBlue, false, false, ""},
    tKnownResidue{"Tyv", "Tyv", Shape::kFlatRectangle, Colour::kGreen, false, false, ""},
    tKnownResidue{"Abe", "Abe", Shape::kFlatRectangle, Colour::kOrange, false, false, ""},
    tKnownResidue{"Par", "Par", Shape::kFlatRectangle, Colour::kPink, false, false, ""},
    tKnownResidue{"Dig", "Dig", Shape::kFlatRectangle, Colour::kPurple, false, false, ""},
    tKnownResidue{"Col", "Col", Shape::kFlatRectangle, Colour::kLightBlue, false, true, ""},
    // Pentoses
    tKnownResidue{"Ara", "Ara", Shape::kStar, Colour::kGreen, false, true, ""},
    tKnownResidue{"Lyx", "Lyx", Shape::kStar, Colour::kYellow, false, false, ""},
    tKnownResidue{"Xyl", "Xyl", Shape::kStar, Colour::kOrange, false, false, ""},
    tKnownResidue{"Rib", "Rib", Shape::kStar, Colour::kPink, false, false, ""},
    // Nonulosonic acids (Neu as an N-acyl amine: Neu5Ac)
    tKnownResidue{"Kdn", "Kdn", Shape::kDiamond, Colour::kGreen, false, false, ""},
    tKnownResidue{"Neu", "Neu", Shape::kDiamond, Colour::kPurple, false, false, "5Ac"},
    tKnownResidue{"Pse", "Pse", Shape::kFlatDiamond, Colour::kGreen, false, true, ""},
    tKnownResidue{"Leg", "Leg", Shape::kFlatDiamond, Colour::kYellow, false, false, ""},
    tKnownResidue{"Aci", "Aci", Shape::kFlatDiamond, Colour::kPink, false, true, ""},
    // Other monosaccharides with a symbol
    tKnownResidue{"Bac", "Bac", Shape::kFlatHexagon, Colour::kBlue, false, false, ""},
    tKnownResidue{"Kdo", "Kdo", Shape::kFlatHexagon, Colour::kYellow, false, false, ""},
    tKnownResidue{"Dha", "Dha", Shape::kFlatHexagon, Colour::kOrange, false, false, ""},
    tKnownResidue{"Mur", "Mur", Shape::kFlatHexagon, Colour::kBrown, false, false, ""},
    tKnownResidue{"Api", "Api", Shape::kPentagon, Colour::kBlue, false, false, ""},
    tKnownResidue{"Fru", "Fru", Shape::kPentagon, Colour::kGreen, false, false, ""},
    tKnownResidue{"Tag", "Tag", Shape::kPentagon, Colour::kYellow, false, false, ""},
    tKnownResidue{"Sor", "Sor", Shape::kPentagon, Colour::kOrange, false, true, ""},
    tKnownResidue{"Psi", "Psi", Shape::kPentagon, Colour::kPink, false, false, ""},
};

// The N-acyl amino sugars of the table as the free amines they are when a residue of the unit is
// attached to their amino group (that residue is then their acyl group).
struct tFreeAmine {
  std::string_view Name;
  Shape Symbol;
  Colour Fill;
  std::string_view Suffix;
};
constexpr std::array kFreeAmines = {
    tFreeAmine{"GlcN", Shape::kCrossedSquare, Colour::kBlue, "N"},
    tFreeAmine{"ManN", Shape::kCrossedSquare, Colour::kGreen, "N"},
    tFreeAmine{"GalN", Shape::kCrossedSquare, Colour::kYellow, "N"},
    tFreeAmine{"GulN", Shape::kCrossedSquare, Colour::kOrange, "N"},
    tFreeAmine{"AltN", Shape::kCrossedSquare, Colour::kPink, "N"},
    tFreeAmine{"AllN", Shape::kCrossedSquare, Colour::kPurple, "N"},
    tFreeAmine{"TalN", Shape::kCrossedSquare, Colour::kLightBlue, "N"},
    tFreeAmine{"IdoN", Shape::kCrossedSquare, Colour::kBrown, "N"},
    tFreeAmine{"QuiN", Shape::kDividedTriangle, Colour::kBlue, "N"},
    tFreeAmine{"RhaN", Shape::kDividedTriangle, Colour::kGreen, "N"},
    tFreeAmine{"FucN", Shape::kDividedTriangle, Colour::kRed, "N"},
    tFreeAmine{"Neu", Shape::kDiamond, Colour::kBrown, ""},
};

const tFreeAmine* FindFreeAmine(std::string_view name) {
  for (const tFreeAmine& amine : kFreeAmines) {
    if (amine.Name == name) return &amine;
  }
  return nullptr;
}

// Alditols whose IUPAC name is not the residue name followed by "-ol".
struct tAlditolName {
  std::string_view Name;
  std::string_view Iupac;
};
constexpr std::array kAlditolNames = {
    tAlditolName{"Gro", "Gro"},
    tAlditolName{"Rbo", "Rib-ol"},
};

const tKnownResidue* FindKnown(std::string_view name) {
  for (const tKnownResidue& known : kKnownResidues) {
    if (known.Name == name) return &known;
  }
  return nullptr;
}

bool IsSugarRing(const tReportResidue& residue) {
  return !residue.Phosphate && (residue.RingKind == kPyranose || residue.RingKind == kFuranose);
}

// The table entry of a pyranose or furanose: by its name, or by its name without a final "f".
const tKnownResidue* KnownSugar(const tReportResidue& residue) {
  if (!IsSugarRing(residue)) return nullptr;
  if (const tKnownResidue* known = FindKnown(residue.Name)) return known;
  const std::string_view name = residue.Name;
  if (residue.RingKind == kFuranose && name.size() > 1 &&
      (name.back() == 'f' || name.back() == 'F')) {
    return FindKnown(name.substr(0, name.size() - 1));
  }
  return nullptr;
}

struct tColourFacts {
  const char* ClassName;
  const char* Value;
  bool Dark;
};

// SNFG colours.
constexpr std::array<tColourFacts, 10> kColours = {{
    {"snfg-white", "#FFFFFF", false},
    {"snfg-blue", "#0072BC", true},
    {"snfg-green", "#00A651", true},
    {"snfg-yellow", "#FFD400", false},
    {"snfg-lightblue", "#8FCCE9", false},
    {"snfg-pink", "#F69EA1", false},
    {"snfg-purple", "#A54399", true},
    {"snfg-brown", "#9F6D55", true},
    {"snfg-orange", "#F47920", false},
    {"snfg-red", "#ED1C24", true},
}};

constexpr std::array kShapeClasses = {
    "snfg-circle",
    "snfg-square",
    "snfg-crossed-square",
    "snfg-divided-diamond",
    "snfg-triangle",
    "snfg-divided-triangle",
    "snfg-flat-rectangle",
    "snfg-star",
    "snfg-diamond",
    "snfg-flat-diamond",
    "snfg-flat-hexagon",
    "snfg-pentagon",
    "snfg-rounded-rectangle",
};

}  // namespace

const char* ShapeClassName(tSnfgShape shape) {
  return At(kShapeClasses, static_cast<std::size_t>(shape));
}
const char* ColourClassName(tSnfgColour colour) {
  return At(kColours, static_cast<std::size_t>(colour)).ClassName;
}
const char* ColourValue(tSnfgColour colour) {
  return At(kColours, static_cast<std::size_t>(colour)).Value;
}
bool IsDarkColour(tSnfgColour colour) {
  return At(kColours, static_cast<std::size_t>(colour)).Dark;
}

std::string AnomericSymbol(const tReportResidue& residue) {
  if (!IsSugarRing(residue)) return "";
  if (residue.Anomeric == kAnomericAlpha) return "α";
  if (residue.Anomeric == kAnomericBeta) return "β";
  return "";
}

bool AminoSubstituted(const tReportUnit& unit, int residue) {
  const tReportResidue& self = At(unit.Residues, static_cast<std::size_t>(residue));
  for (const int child : {self.ChainChild, self.BranchChild}) {
    if (child != kNoResidue && At(unit.Residues, static_cast<std::size_t>(child)).NLinked) {
      return true;
    }
  }
  return false;
}

tSnfgSymbol SymbolOf(const tReportResidue& residue, bool amino_substituted) {
  tSnfgSymbol symbol;
  if (residue.Phosphate) {
    symbol.Shape = Shape::kCircle;
    symbol.Label = "P";
    return symbol;
  }
  const tKnownResidue* known = KnownSugar(residue);
  if (known == nullptr) {
    symbol.Shape = residue.RingKind == kNonSugar ? Shape::kRoundedRectangle : Shape::kFlatHexagon;
    symbol.Label = residue.Name;
    return symbol;
  }
  symbol.Fallback = false;
  symbol.Shape = known->Symbol;
  symbol.Colour = known->Fill;
  symbol.Inverted = known->Inverted;
  if (const tFreeAmine* amine = FindFreeAmine(known->Name); amine && amino_substituted) {
    symbol.Shape = amine->Symbol;
    symbol.Colour = amine->Fill;
  }
  if ((residue.Absolute == kAbsoluteL) != known->DefaultL) {
    symbol.Label = residue.Absolute == kAbsoluteL ? "L" : "D";
  }
  if (residue.RingKind == kFuranose) symbol.Label += "f";
  return symbol;
}

std::string IupacResidueName(const tReportResidue& residue, bool amino_substituted) {
  if (residue.Phosphate) return "P";
  std::string name;
  if (const std::string anomeric = AnomericSymbol(residue); !anomeric.empty()) {
    name = anomeric + "-";
  }
  name += residue.Absolute == kAbsoluteL ? "L-" : "D-";
  if (IsSugarRing(residue)) {
    const char ring = residue.RingKind == kFuranose ? 'f' : 'p';
    if (const tKnownResidue* known = KnownSugar(residue)) {
      std::string_view suffix = known->Suffix;
      if (const tFreeAmine* amine = FindFreeAmine(known->Name); amine && amino_substituted) {
        suffix = amine->Suffix;
      }
      return name + std::string(known->Stem) + ring + std::string(suffix);
    }
    const bool written_furanose =
        residue.RingKind == kFuranose && !residue.Name.empty() && residue.Name.back() == 'f';
    return name + residue.Name + (written_furanose ? "" : std::string(1, ring));
  }
  if (residue.RingKind == kAlditol) {
    for (const tAlditolName& alditol : kAlditolNames) {
      if (alditol.Name == residue.Name) return name + std::string(alditol.Iupac);
    }
    if (FindKnown(residue.Name) != nullptr) return name + residue.Name + "-ol";
  }
  return name + residue.Name;
}

}  // namespace glycomb
