#include "spectrum/structure_model.hpp"

#include <gtest/gtest.h>

#include "console/checked.hpp"
#include "spectrum/spectrum_fixture.hpp"

namespace glycomb::testing {
namespace {

TEST(StructureModelTest, MoreThan255CarbonsFailTheCheck) {
  SpectrumFixture f;
  f.Compose({kHxa, kHxe});
  f.Residues[kHxa].CarbonCount = 128;
  f.Residues[kHxe].CarbonCount = 128;
  EXPECT_THROW(f.Place(0, {Node(1, 0, 0), Node(2, 0, 0)}), ECheckFailed);
}

}  // namespace
}  // namespace glycomb::testing
