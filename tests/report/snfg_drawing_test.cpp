#include "report/snfg_drawing.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "report/report_fixture.hpp"
#include "support/xml_document.hpp"

namespace glycomb {
namespace {

using testing::Attribute;
using testing::HasClass;
using testing::NumberAttribute;
using testing::WithClass;

struct tPoint {
  double X = 0, Y = 0;
};

// Where a symbol stands: its translation.
tPoint SymbolCentre(xmlNode* symbol) {
  tPoint centre;
  std::sscanf(Attribute(symbol, "transform").c_str(), "translate(%lf %lf)", &centre.X, &centre.Y);
  return centre;
}

struct tSymbol {
  const char* tag;
  const char* shape;
  const char* colour;
  const char* label;  // text inside the symbol
};
struct tBond {
  const char* child;
  const char* carrier;
  const char* label;
};

// One symbol per residue, with the right shape, colour and inner text; one labelled bond per
// linkage, joining the centres of the two symbols (the closing linkage leaves through the
// brackets).
TEST(SnfgDrawingTest, SymbolsAndBondsOfLinearBranchedAndPhosphateBridgedUnits) {
  const struct {
    const char* record;
    std::vector<tSymbol> symbols;
    std::vector<tBond> bonds;  // the last one closes the unit
  } cases[] = {
      {"[aLFuc-]-2]3)bDGal-4)bDGlcA-3)aLRha-[bDXyl-]-3]4)aDMan-",
       {{"A", "snfg-triangle", "snfg-red", ""},
        {"B", "snfg-circle", "snfg-yellow", ""},
        {"C", "snfg-divided-diamond", "snfg-blue", ""},
        {"D", "snfg-triangle", "snfg-green", ""},
        {"E", "snfg-star", "snfg-orange", ""},
        {"F", "snfg-circle", "snfg-green", ""}},
       {{"A", "B", "α2"},
        {"B", "C", "β4"},
        {"C", "D", "β3"},
        {"D", "F", "α4"},
        {"E", "F", "β3"},
        {"F", "B", "α3"}}},
      {"[cDGro-P-]-4]3)bDGlc-",
       {{"A", "snfg-flat-hexagon", "snfg-white", "Gro"},
        {"B", "snfg-circle", "snfg-white", "P"},
        {"C", "snfg-circle", "snfg-blue", ""}},
       {{"A", "B", "1"}, {"B", "C", "4"}, {"C", "C", "β3"}}},
      {"P-4)cDRbo-3)aLRha-",
       {{"A", "snfg-circle", "snfg-white", "P"},
        {"B", "snfg-flat-hexagon", "snfg-white", "Rbo"},
        {"C", "snfg-triangle", "snfg-green", ""}},
       {{"A", "B", "4"}, {"B", "C", "3"}, {"C", "A", "α1"}}},
  };
  testing::ShippedUnits units;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.record);
    const testing::XmlDocument svg(DrawUnit(units.Unit(c.record)));
    ASSERT_TRUE(svg.WellFormed()) << svg.Error();
    const std::vector<xmlNode*> symbols = WithClass(svg.Root(), "residue");
    ASSERT_EQ(symbols.size(), c.symbols.size());
    std::map<std::string, tPoint> centre;
    for (std::size_t i = 0; i < symbols.size(); ++i) {
      const tSymbol& expected = c.symbols[i];
      EXPECT_EQ(Attribute(symbols[i], "data-tag"), expected.tag);
      EXPECT_TRUE(HasClass(symbols[i], expected.shape) && HasClass(symbols[i], expected.colour))
          << expected.tag << ": " << Attribute(symbols[i], "class");
      EXPECT_EQ(testing::ChildText(symbols[i], "text"), expected.label) << expected.tag;
      centre[expected.tag] = SymbolCentre(symbols[i]);
    }
    const std::vector<xmlNode*> bonds = WithClass(svg.Root(), "bond");
    ASSERT_EQ(bonds.size(), c.bonds.size());
    std::vector<std::string> drawn, expected;
    for (xmlNode* bond : bonds) {
      drawn.push_back(Attribute(bond, "data-child") + ">" + Attribute(bond, "data-carrier") + " " +
                      testing::ChildText(bond, "text"));
      const std::vector<xmlNode*> lines = testing::ElementsNamed(bond, "line");
      if (HasClass(bond, "closing")) {
        ASSERT_EQ(lines.size(), 2u);
        EXPECT_NEAR(NumberAttribute(lines[0], "x1"), centre[Attribute(bond, "data-child")].X, 0.01);
        EXPECT_NEAR(NumberAttribute(lines[1], "x2"), centre[Attribute(bond, "data-carrier")].X,
                    0.01);
        continue;
      }
      ASSERT_EQ(lines.size(), 1u);
      const tPoint from = centre[Attribute(bond, "data-child")];
      const tPoint to = centre[Attribute(bond, "data-carrier")];
      EXPECT_NEAR(NumberAttribute(lines[0], "x1"), from.X, 0.01);
      EXPECT_NEAR(NumberAttribute(lines[0], "y1"), from.Y, 0.01);
      EXPECT_NEAR(NumberAttribute(lines[0], "x2"), to.X, 0.01);
      EXPECT_NEAR(NumberAttribute(lines[0], "y2"), to.Y, 0.01);
    }
    for (const tBond& bond : c.bonds) {
      expected.push_back(std::string(bond.child) + ">" + bond.carrier + " " + bond.label);
    }
    std::sort(drawn.begin(), drawn.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(drawn, expected);
    EXPECT_EQ(WithClass(svg.Root(), "closing").size(), 1u);
    EXPECT_EQ(testing::TextOf(WithClass(svg.Root(), "repeat").at(0)), "n");
    // No two symbols on top of each other.
    for (const auto& [tag, point] : centre) {
      for (const auto& [other, other_point] : centre) {
        if (tag < other) {
          EXPECT_GT(std::hypot(point.X - other_point.X, point.Y - other_point.Y), 40)
              << tag << " " << other;
        }
      }
    }
  }
}

}  // namespace
}  // namespace glycomb
