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
  }
}

TEST(StructureModelTest, MoreThan255CarbonsFailTheCheck) {
  SpectrumFixture f;
  f.Compose({kHxa, kHxe});
  f.Residues[kHxa].CarbonCount = 128;
  f.Residues[kHxe].CarbonCount = 128;
  EXPECT_THROW(f.Place(0, {Node(1, 0, 0), Node(2, 0, 0)}), ECheckFailed);
}

}  // namespace
}  // namespace glycomb::testing
