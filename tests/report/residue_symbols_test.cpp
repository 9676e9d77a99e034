#include "report/residue_symbols.hpp"

#include <gtest/gtest.h>

namespace glycomb {
namespace {

// Every name gets a symbol and an IUPAC name: names of the table by the SNFG, the others a white
// shape labelled with the name.
TEST(ResidueSymbolsTest, SymbolAndNameOfEveryKindOfResidue) {
  const struct {
    const char* name;
    std::uint8_t ring, anomeric, absolute;
    bool phosphate, amino_substituted;
    const char *shape, *colour, *label, *iupac;
  } cases[] = {
      {"Glc", kPyranose, kAnomericBeta, kAbsoluteD, false, false, "snfg-circle", "snfg-blue", "", "β-D-Glcp"},
      {"Glc", kPyranose, kAnomericAlpha, kAbsoluteL, false, false, "snfg-circle", "snfg-blue", "L", "α-L-Glcp"},
      {"Galf", kFuranose, kAnomericBeta, kAbsoluteD, false, false, "snfg-circle", "snfg-yellow", "f", "β-D-Galf"},
      {"Glcf", kFuranose, kAnomericAlpha, kAbsoluteL, false, false, "snfg-circle", "snfg-blue", "Lf", "α-L-Glcf"},
      {"GlcN", kPyranose, kAnomericBeta, kAbsoluteD, false, false, "snfg-square", "snfg-blue", "", "β-D-GlcpNAc"},
      {"GlcN", kPyranose, kAnomericBeta, kAbsoluteD, false, true, "snfg-crossed-square", "snfg-blue", "", "β-D-GlcpN"},
      {"GlcA", kPyranose, kAnomericBeta, kAbsoluteD, false, false, "snfg-divided-diamond", "snfg-blue", "", "β-D-GlcpA"},
      {"Rha", kPyranose, kAnomericAlpha, kAbsoluteL, false, false, "snfg-triangle", "snfg-green", "", "α-L-Rhap"},
      {"Rha", kPyranose, kAnomericAlpha, kAbsoluteD, false, false, "snfg-triangle", "snfg-green", "D", "α-D-Rhap"},
      {"Fuc", kPyranose, kAnomericAlpha, kAbsoluteL, false, false, "snfg-triangle", "snfg-red", "", "α-L-Fucp"},
      {"Xyl", kPyranose, kAnomericBeta, kAbsoluteD, false, false, "snfg-star", "snfg-orange", "", "β-D-Xylp"},
      {"Araf", kFuranose, kAnomericAlpha, kAbsoluteL, false, false, "snfg-star", "snfg-green", "f", "α-L-Araf"},
      {"Kdo", kPyranose, kAnomericAlpha, kAbsoluteD, false, false, "snfg-flat-hexagon", "snfg-yellow", "", "α-D-Kdop"},
      {"Neu", kPyranose, kAnomericAlpha, kAbsoluteD, false, false, "snfg-diamond", "snfg-purple", "", "α-D-Neup5Ac"},
      // Without a symbol of their own.
      {"Abc", kPyranose, kAnomericBeta, kAbsoluteD, false, false, "snfg-flat-hexagon", "snfg-white", "Abc", "β-D-Abcp"},
      {"Abcf", kFuranose, kAnomericBeta, kAbsoluteD, false, false, "snfg-flat-hexagon", "snfg-white", "Abcf", "β-D-Abcf"},
      {"Rbo", kAlditol, kAnomericNone, kAbsoluteD, false, false, "snfg-flat-hexagon", "snfg-white", "Rbo", "D-Rib-ol"},
      {"Xyl", kAlditol, kAnomericNone, kAbsoluteD, false, false, "snfg-flat-hexagon", "snfg-white", "Xyl", "D-Xyl-ol"},
      {"Ery", kAlditol, kAnomericNone, kAbsoluteL, false, false, "snfg-flat-hexagon", "snfg-white", "Ery", "L-Ery"},
      {"Hbu", kNonSugar, kAnomericNone, kAbsoluteD, false, false, "snfg-rounded-rectangle", "snfg-white", "Hbu", "D-Hbu"},
      {"A&<", kNonSugar, kAnomericNone, kAbsoluteD, false, false, "snfg-rounded-rectangle", "snfg-white", "A&<", "D-A&<"},
      {"P", kPyranose, kAnomericNone, kAbsoluteD, true, false, "snfg-circle", "snfg-white", "P", "P"},
  };
  for (const auto& c : cases) {
    tReportResidue residue;
    residue.Name = c.name;
    residue.RingKind = c.ring;
    residue.Anomeric = c.anomeric;
    residue.Absolute = c.absolute;
    residue.Phosphate = c.phosphate;
    const tSnfgSymbol symbol = SymbolOf(residue, c.amino_substituted);
    EXPECT_EQ(ShapeClassName(symbol.Shape), std::string(c.shape)) << c.iupac;
    EXPECT_EQ(ColourClassName(symbol.Colour), std::string(c.colour)) << c.iupac;
    EXPECT_EQ(symbol.Fallback, std::string(c.colour) == "snfg-white") << c.iupac;
    EXPECT_EQ(symbol.Label, c.label) << c.iupac;
    EXPECT_EQ(IupacResidueName(residue, c.amino_substituted), c.iupac);
  }
}

}  // namespace
}  // namespace glycomb
