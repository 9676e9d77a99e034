#include "spectrum/assignment_table.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.hpp"
#include "spectrum/spectrum_fixture.hpp"

namespace glycomb::testing {
namespace {

using tRow = std::vector<std::string>;

struct AssignmentSetting {
  tResidueTable residues;
  tTask task;
  tStructureModel model;

  // Composition entries (name index, anomeric, absolute), placed one per node in this order.
  AssignmentSetting(std::vector<tTaskResidue> entries, std::vector<tStructureNode> nodes) {
    tNameRecord glc{.Name = "Glc", .CarbonCount = 6};
    tNameRecord gal{.Name = "Gal", .CarbonCount = 6};
    tNameRecord rha{.Name = "Rha", .CarbonCount = 6};
    tNameRecord gro{.Name = "Gro", .RingKind = kAlditol, .CarbonCount = 3};
    residues = {PhosphateRecord(), glc, gal, rha, gro};
    task.ResidueCount = static_cast<std::uint8_t>(entries.size());
    task.Residues = {tTaskResidue{}};
    task.Residues.insert(task.Residues.end(), entries.begin(), entries.end());
    model.WorkingStructure.Nodes = std::move(nodes);
    BuildCarbonOffsets(model, task, residues);
    SizeSpectrumArrays(model, task, residues);
  }
};

tTaskResidue Entry(std::uint8_t name, std::uint8_t anomeric, std::uint8_t absolute) {
  return tTaskResidue{.NameIndex = name, .Anomeric = anomeric, .Absolute = absolute};
}

TEST(AssignmentTableTest, LabelsAndShiftCells) {
  AssignmentSetting s({Entry(1, kAnomericAlpha, kAbsoluteD), Entry(2, kAnomericBeta, kAbsoluteD),
                       Entry(3, kAnomericAlpha, kAbsoluteL),
                       Entry(0, kAnomericUnknown, kAbsoluteUnknown),
                       Entry(4, kAnomericNone, kAbsoluteD), Entry(0, kAnomericAlpha, kAbsoluteD)},
                      {Node(5, 0, 0, 2), Node(1, 0, 0, 3), Node(2, 1, 0, 3, 6), Node(3, 0, 1),
                       Node(4, 0, 0, 4), Node(6, 0, 0)});
  s.model.CalculatedSpectrum = {1015, 990, -5,                      // Gro
                                0,    5,   -123, 2205,  999, -1234,  // Glc
                                1000, 601, 602,  603,   604, 605,    // Gal
                                606,  611, 612,  613,   614, 615};   // Rha
  const tAssignmentTable table = BuildAssignmentTable(s.model, s.task, s.residues);
  const std::vector<tRow> expected{
      {"   <residue>   ", "   C1 ", "   C2 ", "   C3 ", "   C4 ", "   C5 ", "   C6 "},
      {"  -2)D-Gro-    ", " 101.5", "  99.0", "  -0.5"},
      {"  -3)a-D-Glc-  ", "   0.0", "   0.5", " -12.3", " 220.5", "  99.9", "-123.4"},
      {"=6]3)b-D-Gal-  ", " 100.0", "  60.1", "  60.2", "  60.3", "  60.4", "  60.5"},
      {"     a-L-Rha-  ", "  60.6", "  61.1", "  61.2", "  61.3", "  61.4", "  61.5"},
      {"    -P-        "},
      {"     P-        "},
  };
  EXPECT_EQ(table, expected);
}

TEST(AssignmentTableTest, HeaderFollowsTheLargestResidue) {
  AssignmentSetting s({Entry(4, kAnomericNone, kAbsoluteL)}, {Node(1, 0, 0, 2)});
  const tAssignmentTable table = BuildAssignmentTable(s.model, s.task, s.residues);
  EXPECT_EQ(table, (std::vector<tRow>{{"   <residue>   ", "   C1 ", "   C2 ", "   C3 "},
                                      {"  -2)L-Gro-    ", "   0.0", "   0.0", "   0.0"}}));
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
    AssignmentSetting s({Entry(1, c.anomeric, c.absolute)}, {Node(1, 0, 0, 3)});
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(BuildAssignmentTable(s.model, s.task, s.residues), EErrorStop);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), FatalText(c.message));
  }
}

}  // namespace
}  // namespace glycomb::testing
