#include "topology/topology_catalogue.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "console/checked.hpp"

namespace glycomb {
namespace {

tTopologyTable Build(std::uint8_t n) {
  tTopologyTable table;
  EXPECT_TRUE(BuildTopologyCatalogue(n, table));
  return table;
}

std::string SetText(const tNodeSet& set) {
  std::string text;
  for (std::size_t i = 0; i < set.size(); ++i) {
    if (set.test(i)) text += (text.empty() ? "" : ", ") + std::to_string(i);
  }
  return text.empty() ? "none" : text;
}

TEST(TopologyCatalogueTest, CountsShapesAndStartNodesPerResidueCount) {
  struct Row {
    int n, templates, linear, widespread, rare, starts, starts_searched;
  };
  const Row rows[] = {
      {1, 1, 1, 0, 0, 1, 1},
      {2, 2, 1, 1, 0, 3, 3},
      {3, 3, 1, 2, 0, 7, 7},
      {4, 6, 1, 3, 2, 18, 11},
      {5, 10, 1, 3, 6, 44, 16},
      {6, 22, 1, 4, 17, 112, 22},
      {7, 42, 1, 4, 37, 272, 29},
      {8, 94, 1, 5, 88, 677, 37},
      {9, 199, 1, 5, 193, 1661, 46},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.n);
    const tTopologyTable table = Build(static_cast<std::uint8_t>(row.n));
    ASSERT_EQ(static_cast<int>(table.size()), row.templates);
    int shapes[3] = {};
    int starts = 0;
    int starts_searched = 0;
    for (const tTopology& topology : table) {
      ASSERT_LE(topology.Shape, kShapeRare);
      ++shapes[topology.Shape];
      const int count = static_cast<int>(topology.StartNodes.count());
      EXPECT_EQ(count, row.n - topology.NonStartCount);
      starts += count;
      if (topology.Shape != kShapeRare) starts_searched += count;
    }
    EXPECT_EQ(shapes[kShapeLinear], row.linear);
    EXPECT_EQ(shapes[kShapeWidespread], row.widespread);
    EXPECT_EQ(shapes[kShapeRare], row.rare);
    EXPECT_EQ(starts, row.starts);
    EXPECT_EQ(starts_searched, row.starts_searched);
    // Index 0 is the linear chain with start node 0 only, each node carrying one child.
    EXPECT_EQ(table[0].Shape, kShapeLinear);
    EXPECT_EQ(SetText(table[0].StartNodes), "0");
    EXPECT_EQ(table[0].NonStartCount, row.n - 1);
    for (const tTopologyNode& node : table[0].Nodes) EXPECT_EQ(node.ChildCount, 1);
  }
}

TEST(TopologyCatalogueTest, RebuildingReplacesTheWholeTableAndLookUpsAreChecked) {
  tTopologyTable table = Build(9);
  ASSERT_TRUE(BuildTopologyCatalogue(4, table));
  ASSERT_EQ(table.size(), 6u);
  for (const tTopology& topology : table) EXPECT_EQ(topology.Nodes.size(), 4u);
  EXPECT_EQ(TopologyChildren(table, 5, 1), std::make_pair(std::uint8_t{2}, std::uint8_t{3}));
  EXPECT_EQ(TopologyChildren(table, 3, 2), std::make_pair(kNoChild, kNoChild));
  EXPECT_THROW(TopologyChildren(table, 5, 4), ECheckFailed);
  EXPECT_THROW(TopologyChildren(table, 6, 0), ECheckFailed);
  EXPECT_THROW(BuildTopologyCatalogue(0, table), ECheckFailed);
  EXPECT_THROW(BuildTopologyCatalogue(10, table), ECheckFailed);
}

}  // namespace
}  // namespace glycomb
