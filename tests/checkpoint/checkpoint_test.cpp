// The checkpoint format: what is written is read back whole, and a file that is torn, altered or
// of another shape is never taken for a checkpoint.
#include "checkpoint/checkpoint.hpp"

#include <gtest/gtest.h>

#include <string>

namespace glycomb {
namespace {

tCheckpoint Example() {
  tCheckpoint checkpoint;
  checkpoint.Fingerprint = "0123456789abcdef";
  checkpoint.PassCount = 112;
  checkpoint.Point = {37, {9338693, 17, 720}};
  for (const std::uint32_t deviation : {168u, 165u}) {
    tResultRecord entry;
    entry.Structure.Topology = 1;
    entry.Structure.Nodes = {{2, 0, 0, 4, 2}, {1, 1, 1, 3, 0}, {3, 0, 0, 0, 0}};
    entry.Deviation = deviation;
    entry.Offset = -13;
    entry.LineOfNode = {2, 1, 3};
    checkpoint.Entries.push_back(entry);
  }
  return checkpoint;
}

TEST(CheckpointTest, WhatIsWrittenIsReadBackAndNothingElseIsTaken) {
  const tCheckpoint written = Example();
  const std::string text = CheckpointText(written);
  const auto read = ParseCheckpoint(text, 3, 20);
  ASSERT_TRUE(read.has_value()) << text;
  EXPECT_EQ(read->Fingerprint, written.Fingerprint);
  EXPECT_EQ(read->PassCount, 112u);
  EXPECT_EQ(read->Point.PassesDone, 37u);
  EXPECT_EQ(read->Point.Counts.StructuresChecked, 9338693);
  EXPECT_EQ(read->Point.Counts.Scored, 17);
  EXPECT_EQ(read->Point.Counts.Sequences, 720);
  ASSERT_EQ(read->Entries.size(), 2u);
  for (std::size_t e = 0; e < 2; ++e) {
    EXPECT_EQ(read->Entries[e].Structure.Nodes, written.Entries[e].Structure.Nodes);
    EXPECT_EQ(read->Entries[e].Deviation, written.Entries[e].Deviation);
    EXPECT_EQ(read->Entries[e].Offset, -13);
    EXPECT_EQ(read->Entries[e].LineOfNode, written.Entries[e].LineOfNode);
  }
  // A torn file, a changed figure, a table too large for the task's LIMIT or of other
  // structures, and a text that is no checkpoint.
  std::string altered = text;
  altered[altered.find("9338693")] = '8';
  const struct {
    const char* what;
    std::string text;
    std::size_t nodes;
    std::uint8_t limit;
  } refused[] = {
      {"torn", text.substr(0, text.size() / 2), 3, 20},
      {"torn before its last line", text.substr(0, text.rfind("check")), 3, 20},
      {"altered", altered, 3, 20},
      {"more entries than the limit", text, 3, 1},
      {"structures of another size", text, 4, 20},
      {"not a checkpoint", "passes 1 1\ncheck 0\n", 3, 20},
      {"empty", "", 3, 20},
  };
  for (const auto& r : refused) {
    EXPECT_FALSE(ParseCheckpoint(r.text, r.nodes, r.limit).has_value()) << r.what;
  }
}

}  // namespace
}  // namespace glycomb
