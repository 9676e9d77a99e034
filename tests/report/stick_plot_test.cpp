#include "report/stick_plot.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "support/xml_document.hpp"

namespace glycomb {
namespace {

using testing::NumberAttribute;
using testing::WithClass;

// Two sugars and a phosphate (no carbons). The calculated 70.0 of A C2 and B C2 tie: A comes first.
tReportUnit Unit() {
  tReportUnit unit;
  unit.Residues.resize(3);
  unit.Residues[0].Name = "Glc";
  unit.Residues[0].Calculated = {1000, 700, 720};
  unit.Residues[1].Name = "Gal";
  unit.Residues[1].Calculated = {980, 700};
  unit.Residues[2].Name = "P";
  unit.Residues[2].Phosphate = true;
  unit.Residues[0].ChainChild = 2, unit.Residues[0].ChainPosition = 4;
  unit.Residues[2].ChainChild = 1, unit.Residues[2].ChainPosition = 2;
  unit.Residues[1].ChainChild = 0, unit.Residues[1].ChainPosition = 3;
  unit.MainChain = {1, 2, 0};
  return unit;
}
const signal_array kMeasured = {1010, 655, 975, 690, 730};

// Tenths of a ppm at horizontal position x, from the labelled ticks of the axis (a straight line
// through the first and the last tick).
class tAxis {
 public:
  explicit tAxis(xmlNode* root) {
    const std::vector<xmlNode*> ticks = WithClass(root, "tick");
    EXPECT_GE(ticks.size(), 2u);
    const auto tick = [](xmlNode* t) {
      return std::pair(NumberAttribute(testing::ElementsNamed(t, "line").at(0), "x1"),
                       std::stod(testing::TextOf(t)) * 10);
    };
    std::tie(x0_, v0_) = tick(ticks.front());
    std::tie(x1_, v1_) = tick(ticks.back());
  }
  std::int32_t Tenths(double x) const {
    return static_cast<std::int32_t>(std::lround(v0_ + (x - x0_) * (v1_ - v0_) / (x1_ - x0_)));
  }
  bool DecreasesToTheRight() const { return x1_ > x0_ && v1_ < v0_; }

 private:
  double x0_ = 0, v0_ = 0, x1_ = 1, v1_ = 0;
};

std::vector<std::int32_t> StickShifts(xmlNode* root, const char* kind, const tAxis& axis) {
  std::vector<std::int32_t> shifts;
  for (xmlNode* stick : WithClass(root, kind)) {
    EXPECT_EQ(NumberAttribute(stick, "x1"), NumberAttribute(stick, "x2"));
    shifts.push_back(axis.Tenths(NumberAttribute(stick, "x1")));
  }
  std::sort(shifts.begin(), shifts.end());
  return shifts;
}

// (measured, calculated) of every join, sorted.
std::vector<std::pair<std::int32_t, std::int32_t>> Joins(xmlNode* root, const tAxis& axis) {
  std::vector<std::pair<std::int32_t, std::int32_t>> joins;
  for (xmlNode* join : WithClass(root, "join")) {
    joins.emplace_back(axis.Tenths(NumberAttribute(join, "x1")),
                       axis.Tenths(NumberAttribute(join, "x2")));
  }
  std::sort(joins.begin(), joins.end());
  return joins;
}

// One measured and one calculated stick per carbon, each at the x of its shift on an axis that
// decreases to the right; joins follow the rank pairing, or the pairing that a score assigned.
TEST(StickPlotTest, SticksAtTheirShiftsJoinedAsPaired) {
  const tReportUnit unit = Unit();
  const std::vector<signal_array> by_rank = RankMatching(unit, kMeasured);
  const std::vector<signal_array> assigned = {{975, 655, 690}, {1010, 730}, {}};
  const struct {
    const std::vector<signal_array>* matching;
    std::vector<std::pair<std::int32_t, std::int32_t>> joins;
  } cases[] = {
      {&by_rank, {{655, 700}, {690, 700}, {730, 720}, {975, 980}, {1010, 1000}}},
      {&assigned, {{655, 700}, {690, 720}, {730, 700}, {975, 1000}, {1010, 980}}},
  };
  for (const auto& c : cases) {
    const testing::XmlDocument svg(DrawStickPlot(unit, kMeasured, c.matching));
    ASSERT_TRUE(svg.WellFormed()) << svg.Error();
    const tAxis axis(svg.Root());
    EXPECT_TRUE(axis.DecreasesToTheRight());
    EXPECT_EQ(StickShifts(svg.Root(), "measured", axis),
              (std::vector<std::int32_t>{655, 690, 730, 975, 1010}));
    EXPECT_EQ(StickShifts(svg.Root(), "calculated", axis),
              (std::vector<std::int32_t>{700, 700, 720, 980, 1000}));
    EXPECT_EQ(Joins(svg.Root(), axis), c.joins);
  }
  // Without a measured spectrum (/CALC): the calculated sticks only.
  const testing::XmlDocument svg(DrawStickPlot(unit, {}, nullptr));
  ASSERT_TRUE(svg.WellFormed()) << svg.Error();
  const tAxis axis(svg.Root());
  EXPECT_EQ(WithClass(svg.Root(), "measured").size() + WithClass(svg.Root(), "join").size(), 0u);
  EXPECT_EQ(StickShifts(svg.Root(), "calculated", axis),
            (std::vector<std::int32_t>{700, 700, 720, 980, 1000}));
}

}  // namespace
}  // namespace glycomb
