#include "report/residue_symbols.hpp"

#include <gtest/gtest.h>

namespace glycomb {
namespace {

// Every name gets a symbol and an IUPAC name: names of the table by the SNFG, the others a white
// shape labelled with the name. A residue is written as its ring kind (p pyranose, f furanose,
// a alditol, n non-sugar, P the phosphate), anomeric (a, b, c none) and absolute letter.
TEST(ResidueSymbolsTest, SymbolAndNameOfEveryKindOfResidue) {
  const struct {
    const char *name, *kind;
    bool amino_substituted;
    const char *shape, *colour, *label, *iupac;
  } cases[] = {
      {"Glc", "pbD", false, "circle", "blue", "", "β-D-Glcp"},
      {"Glc", "paL", false, "circle", "blue", "L", "α-L-Glcp"},
      {"Galf", "fbD", false, "circle", "yellow", "f", "β-D-Galf"},
      {"Glcf", "faL", false, "circle", "blue", "Lf", "α-L-Glcf"},
      {"GlcN", "pbD", false, "square", "blue", "", "β-D-GlcpNAc"},
      {"GlcN", "pbD", true, "crossed-square", "blue", "", "β-D-GlcpN"},
      {"GlcA", "pbD", false, "divided-diamond", "blue", "", "β-D-GlcpA"},
      {"Rha", "paL", false, "triangle", "green", "", "α-L-Rhap"},
      {"Rha", "paD", false, "triangle", "green", "D", "α-D-Rhap"},
      {"Fuc", "paL", false, "triangle", "red", "", "α-L-Fucp"},
      {"Xyl", "pbD", false, "star", "orange", "", "β-D-Xylp"},
      {"Araf", "faL", false, "star", "green", "f", "α-L-Araf"},
      {"Kdo", "paD", false, "flat-hexagon", "yellow", "", "α-D-Kdop"},
      {"Neu", "paD", false, "diamond", "purple", "", "α-D-Neup5Ac"},
      // Without a symbol of their own.
      {"Abc", "pbD", false, "flat-hexagon", "white", "Abc", "β-D-Abcp"},
      {"Abcf", "fbD", false, "flat-hexagon", "white", "Abcf", "β-D-Abcf"},
      {"Rbo", "acD", false, "flat-hexagon", "white", "Rbo", "D-Rib-ol"},
      {"Xyl", "acD", false, "flat-hexagon", "white", "Xyl", "D-Xyl-ol"},
      {"Ery", "acL", false, "flat-hexagon", "white", "Ery", "L-Ery"},
      {"Hbu", "ncD", false, "rounded-rectangle", "white", "Hbu", "D-Hbu"},
      {"A&<", "ncD", false, "rounded-rectangle", "white", "A&<", "D-A&<"},
      {"P", "PcD", false, "circle", "white", "P", "P"},
  };
  const std::string kinds = "pfan";
  for (const auto& c : cases) {
    tReportResidue residue;
    residue.Name = c.name;
    residue.Phosphate = c.kind[0] == 'P';
    residue.RingKind =
        residue.Phosphate ? kPyranose : static_cast<std::uint8_t>(kinds.find(c.kind[0]));
    residue.Anomeric = c.kind[1] == 'a'   ? kAnomericAlpha
                       : c.kind[1] == 'b' ? kAnomericBeta
                                          : kAnomericNone;
    residue.Absolute = c.kind[2] == 'L' ? kAbsoluteL : kAbsoluteD;
    const tSnfgSymbol symbol = SymbolOf(residue, c.amino_substituted);
    EXPECT_EQ(ShapeClassName(symbol.Shape), "snfg-" + std::string(c.shape)) << c.iupac;
    EXPECT_EQ(ColourClassName(symbol.Colour), "snfg-" + std::string(c.colour)) << c.iupac;
    EXPECT_EQ(symbol.Fallback, std::string(c.colour) == "white") << c.iupac;
    EXPECT_EQ(symbol.Label, c.label) << c.iupac;
    EXPECT_EQ(IupacResidueName(residue, c.amino_substituted), c.iupac);
  }
}

}  // namespace
}  // namespace glycomb
