#include "spectrum/assignment_table.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "spectrum/spectrum_fixture.hpp"
#include "support/fixtures.hpp"

namespace glycomb::testing {
namespace {

using tRow = std::vector<std::string>;

// Composition entries of these types with these configurations, placed one per node in order.
SpectrumFixture Placed(const std::vector<std::uint8_t>& types,
                       const std::vector<std::pair<std::uint8_t, std::uint8_t>>& configurations,
                       std::vector<tStructureNode> nodes) {
  SpectrumFixture f;
  f.Compose(types);
  for (std::size_t i = 0; i < configurations.size(); ++i) {
    f.Task.Residues[i + 1].Anomeric = configurations[i].first;
    f.Task.Residues[i + 1].Absolute = configurations[i].second;
  }
  f.Place(0, std::move(nodes));
  return f;
}

TEST(AssignmentTableTest, LabelsShiftCellsAndHeader) {
  SpectrumFixture f = Placed(
      {kHxa, kHxe, kAld, kP, kP},
      {{kAnomericAlpha, kAbsoluteD}, {kAnomericBeta, kAbsoluteL}, {kAnomericNone, kAbsoluteL},
       {kAnomericUnknown, kAbsoluteUnknown}, {kAnomericAlpha, kAbsoluteD}},
      {Node(3, 0, 0, 2), Node(1, 0, 0, 3, 6), Node(2, 1, 1), Node(4, 0, 0, 4), Node(5, 0, 0)});
  f.Model.CalculatedSpectrum = {1015, 990, -5,                      // Ald
                                0,    5,   -123, 2205,  999, -1234,  // Hxa
                                606,  611, 612,  613,   614, 615};   // Hxe
  EXPECT_EQ(BuildAssignmentTable(f.Model, f.Task, f.Residues),
            (std::vector<tRow>{
                {"   <residue>   ", "   C1 ", "   C2 ", "   C3 ", "   C4 ", "   C5 ", "   C6 "},
                {"  -2)L-Ald-    ", " 101.5", "  99.0", "  -0.5"},
                {"=6]3)a-D-Hxa-  ", "   0.0", "   0.5", " -12.3", " 220.5", "  99.9", "-123.4"},
                {"     b-L-Hxe-  ", "  60.6", "  61.1", "  61.2", "  61.3", "  61.4", "  61.5"},
                {"    -P-        "},
                {"     P-        "}}));
  // The header follows the largest residue.
  f = Placed({kAld}, {{kAnomericNone, kAbsoluteD}}, {Node(1, 0, 0, 2)});
  EXPECT_EQ(BuildAssignmentTable(f.Model, f.Task, f.Residues),
            (std::vector<tRow>{{"   <residue>   ", "   C1 ", "   C2 ", "   C3 "},
                               {"  -2)D-Ald-    ", "   0.0", "   0.0", "   0.0"}}));
}

TEST(AssignmentTableTest, UndefinedConfigurationIsAnInternalError) {
  const struct {
    std::uint8_t anomeric, absolute;
    std::string message;
  } cases[] = {
      {kAnomericUnknown, kAbsoluteD, "Internal error WA1: indefinite anomeric configuration"},
      {7, kAbsoluteUnknown, "Internal error WA1: indefinite anomeric configuration"},
      {kAnomericBeta, kAbsoluteUnknown, "Internal error WA2: indefinite absolute configuration"},
      {kAnomericNone, 9, "Internal error WA2: indefinite absolute configuration"},
  };
  for (const auto& c : cases) {
    SpectrumFixture f = Placed({kHxa}, {{c.anomeric, c.absolute}}, {Node(1, 0, 0, 3)});
    EXPECT_EQ(Captured([&] {
                EXPECT_THROW(BuildAssignmentTable(f.Model, f.Task, f.Residues), EErrorStop);
              }),
              Fatal(c.message));
  }
}

}  // namespace
}  // namespace glycomb::testing
