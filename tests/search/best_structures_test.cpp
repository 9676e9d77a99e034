#include "search/best_structures.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace glycomb {
namespace {

// A one-node structure told apart by `tag`, its first substitution position.
tStructure Tagged(std::uint8_t tag) {
  tStructure s;
  s.Nodes = {tStructureNode{.Residue = 1, .Subst1 = tag}};
  return s;
}

// "tag:deviation" of every filled entry, in table order.
std::string Contents(const tBestStructures& best) {
  std::string text;
  for (std::size_t i = 0; i < best.BestCount(); ++i) {
    text += (i == 0 ? "" : " ") + std::to_string(best.Entry(i).Structure.Nodes[0].Subst1) + ":" +
            std::to_string(best.Entry(i).Deviation);
  }
  return text;
}

TEST(BestStructuresTest, KeepsTheLimitBestWithEarlierStructuresWinningTies) {
  struct Row {
    const char* what;
    std::uint8_t limit;
    std::vector<std::pair<std::uint8_t, std::uint16_t>> offers;  // tag, deviation
    const char* kept;
  };
  const Row rows[] = {
      {"not full: every candidate", 3, {{1, 60000}, {2, 5}, {3, 65535}}, "1:60000 2:5 3:65535"},
      {"limit 1: first of equals", 1, {{1, 10}, {2, 10}}, "1:10"},
      {"limit 1: a better one", 1, {{1, 10}, {2, 10}, {3, 9}}, "3:9"},
      {"two equal worst: lower index", 3, {{1, 50}, {2, 70}, {3, 70}, {4, 60}}, "1:50 4:60 3:70"},
      {"worst, not most recent", 3, {{1, 90}, {2, 20}, {3, 30}, {4, 10}}, "4:10 2:20 3:30"},
      {"equal to the worst", 2, {{1, 50}, {2, 70}, {3, 70}}, "1:50 2:70"},
      {"worse than all", 2, {{1, 50}, {2, 70}, {3, 80}}, "1:50 2:70"},
      {"all zero", 2, {{1, 0}, {2, 0}, {3, 0}}, "1:0 2:0"},
  };
  for (const Row& row : rows) {
    tBestStructures best;
    best.Create(row.limit, 1, {0, 1});
    for (const auto& [tag, deviation] : row.offers) best.Keep(Tagged(tag), tScore{.Sum = deviation});
    EXPECT_EQ(Contents(best), row.kept) << row.what;
  }
}

TEST(BestStructuresTest, HoldsTreatsEntriesOfOneNameAsInterchangeable) {
  // Entries 1 and 2 name residue type 7, entry 3 type 9.
  const std::vector<std::uint8_t> names = {0, 7, 7, 9};
  tStructure kept;
  kept.Topology = 2;
  kept.Nodes = {{1, 1, 0, 3, 4}, {2, 0, 1, 2, 0}, {3, 1, 1, 0, 0}};
  struct Row {
    const char* what;
    std::function<void(tStructure&)> change;
    bool held;
  };
  const Row rows[] = {
      {"identical", [](tStructure&) {}, true},
      {"entries of one name exchanged",
       [](tStructure& s) { std::swap(s.Nodes[0].Residue, s.Nodes[1].Residue); }, true},
      {"entries of two names exchanged",
       [](tStructure& s) { std::swap(s.Nodes[1].Residue, s.Nodes[2].Residue); }, false},
      {"topology", [](tStructure& s) { s.Topology = 3; }, false},
      {"anomeric", [](tStructure& s) { s.Nodes[2].Anomeric = 0; }, false},
      {"absolute", [](tStructure& s) { s.Nodes[0].Absolute = 1; }, false},
      {"first position", [](tStructure& s) { s.Nodes[1].Subst1 = 3; }, false},
      {"second position", [](tStructure& s) { s.Nodes[0].Subst2 = 6; }, false},
  };
  for (const Row& row : rows) {
    tBestStructures best;
    best.Create(3, 3, names);
    tStructure other = kept;
    other.Topology = 4;
    best.Keep(other, tScore{.Sum = 10});  // the match must be found past the first entry
    best.Keep(kept, tScore{.Sum = 40});
    tStructure candidate = kept;
    row.change(candidate);
    EXPECT_EQ(best.Holds(candidate), row.held) << row.what;
    EXPECT_EQ(SameStructure(kept, candidate, names.data()), row.held) << row.what;
  }
}

}  // namespace
}  // namespace glycomb
