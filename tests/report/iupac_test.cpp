#include "report/iupac.hpp"

#include <gtest/gtest.h>

#include "report/report_fixture.hpp"

namespace glycomb {
namespace {

// The main chain reads left to right as written; the first residue's position that carries the
// last residue opens the unit, the last residue's open linkage closes it.
TEST(IupacTest, RepeatingUnitsOfShippedResidues) {
  const struct {
    const char* record;
    const char* iupac;
  } cases[] = {
      // Linear: the worked example (33E).
      {"3)bDGal-3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-",
       "→3)-β-D-Galp-(1→3)-α-D-Galp-(1→3)-β-D-Galf-(1→3)-β-D-Glcp-(1→5)-β-D-Galf-(1→"},
      {"4)aDGlc-", "→4)-α-D-Glcp-(1→"},
      // Branched: side chains in brackets before their carrier, a chain of two, L sugars.
      {"[aDGal-]-2]3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-3)bDGal-",
       "→3)-[α-D-Galp-(1→2)]-α-D-Galp-(1→3)-β-D-Galf-(1→3)-β-D-Glcp-(1→5)-β-D-Galf-(1→3)-"
       "β-D-Galp-(1→"},
      {"[aDGal-2)aDGal-]-2]3)aDGal-3)bDGalf-3)bDGlc-",
       "→3)-[α-D-Galp-(1→2)-α-D-Galp-(1→2)]-α-D-Galp-(1→3)-β-D-Galf-(1→3)-β-D-Glcp-(1→"},
      {"[aLFuc-]-2]3)bDGal-4)bDGlcA-3)aLRha-[bDXyl-]-3]4)aDMan-",
       "→3)-[α-L-Fucp-(1→2)]-β-D-Galp-(1→4)-β-D-GlcpA-(1→3)-α-L-Rhap-(1→4)-[β-D-Xylp-(1→3)]-"
       "α-D-Manp-(1→"},
      {"2)aLAraf-3)bDRibf-", "→2)-α-L-Araf-(1→3)-β-D-Ribf-(1→"},
      // Alditols.
      {"4)cDRbo-3)aLRha-", "→4)-D-Rib-ol-(1→3)-α-L-Rhap-(1→"},
      {"[cLGro-]-2]3)bDGal-", "→3)-[L-Gro-(1→2)]-β-D-Galp-(1→"},
      // N-linked: the acyl residue takes the amino group, which then is no acetamido group.
      {"-[cDHbu-]-2]3)bDGlcN-", "→3)-[D-Hbu-(1→2)]-β-D-GlcpN-(1→"},
      {"4)bDGlcN-3)aDGalN-", "→4)-β-D-GlcpNAc-(1→3)-α-D-GalpNAc-(1→"},
      // Phosphate bridges: in a side chain, first and last in the main chain.
      {"[cDGro-P-]-4]3)bDGlc-", "→3)-[D-Gro-(1→P→4)]-β-D-Glcp-(1→"},
      {"P-4)cDRbo-3)aLRha-", "→P→4)-D-Rib-ol-(1→3)-α-L-Rhap-(1→"},
      {"3)aDGlc-P-", "→3)-α-D-Glcp-(1→P→"},
  };
  testing::ShippedUnits units;
  for (const auto& c : cases)
    EXPECT_EQ(IupacRepeatingUnit(units.Unit(c.record)), c.iupac) << c.record;
}

}  // namespace
}  // namespace glycomb
