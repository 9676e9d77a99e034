#include "spectrum/structure_model.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "console/checked.hpp"
#include "spectrum/spectrum_fixture.hpp"

namespace glycomb::testing {
namespace {

TEST(StructureModelTest, CarbonOffsetsFollowTheResiduesAtTheNodes) {
  const struct {
    std::vector<std::uint8_t> composition;
    std::vector<std::uint8_t> order;  // composition entry at each node
    std::vector<std::uint8_t> offsets;
  } cases[] = {
      {{kHxa, kHxe, kPen}, {1, 2, 3}, {0, 6, 12, 17}},
      {{kHxa, kHxe, kPen}, {3, 1, 2}, {0, 5, 11, 17}},
      {{kHxa, kP, kPen}, {1, 2, 3}, {0, 6, 6, 11}},  // a phosphate has no carbons
      {{kP, kAld}, {1, 2}, {0, 0, 3}},
  };
  for (const auto& c : cases) {
    SpectrumFixture f;
    f.Compose(c.composition);
    std::vector<tStructureNode> nodes;
    for (std::uint8_t residue : c.order) nodes.push_back(Node(residue, 0, 0));
    f.Place(0, nodes);
    EXPECT_EQ(f.Model.CarbonOffsets, c.offsets);
    EXPECT_EQ(f.Model.CalculatedSpectrum.size(), c.offsets.back());
    EXPECT_EQ(f.Model.CarbonCorrections.size(), c.offsets.back());
  }
}

TEST(StructureModelTest, MoreThan255CarbonsFailTheCheck) {
  SpectrumFixture f;
  f.Compose({kHxa, kHxe});
  f.Residues[kHxa].CarbonCount = 128;
  f.Residues[kHxe].CarbonCount = 128;
  EXPECT_THROW(f.Place(0, {Node(1, 0, 0), Node(2, 0, 0)}), ECheckFailed);
}

TEST(StructureModelTest, RingCorrectionTables) {
  EXPECT_EQ(C2Correction[0][1][4], -14);
  EXPECT_EQ(C2Correction[0][1][6], -14);
  EXPECT_EQ(C2Correction[0][1][5], -10);
  EXPECT_EQ(C2Correction[0][0][1], -5);
  EXPECT_EQ(C2Correction[0][0][6], 0);
  EXPECT_EQ(C5Correction[0][0][6], 5);
  EXPECT_EQ(C5Correction[0][1][6], 0);
  for (int a = 0; a < 2; ++a) {
    for (int code = 0; code < 8; ++code) {
      EXPECT_EQ(C2Correction[1][a][code], 0);
      EXPECT_EQ(C5Correction[1][a][code], 0);
    }
  }
}

}  // namespace
}  // namespace glycomb::testing
