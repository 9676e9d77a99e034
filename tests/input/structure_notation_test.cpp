#include "input/structure_notation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "support/key_input.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;

constexpr char kNames[] =
    "Glc /2oa3oa4oa5da6oa\nGal /2oa3oa4oe5da6oa\nRha /2oe3oa4oa5da6da\nGlcN /2na3oa4oa5da6oa\n"
    "Galf /2oa3oa4da5oa6oa fur\nGro /2oc3oc ald\nGrop /2oc3oc ald\nAce /2da non Nlink\n"
    "Ax2 /2oa3oa4oa5da6oa\n";
enum : int { P, Glc, Gal, Rha, GlcN, Galf, Gro, GroP, Ace, Ax2 };

constexpr char kContext[] = ", file S.STR, line 2";

// Number of topologies for 1..9 residues.
constexpr std::size_t kTemplateCounts[] = {1, 2, 3, 6, 10, 22, 42, 94, 199};

std::string Fatal(const std::string& message) { return "\n" + message + "\nCan't continue\n\n"; }

class StructureNotationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_.Write("NAMES.PS", kNames);
    testing::ScopedWorkingDirectory cwd(dir_.Path());
    CaptureStdout();
    ASSERT_TRUE(ReadNamesDatabase(residues_)) << GetCapturedStdout();
    GetCapturedStdout();
  }
  bool Parse(const std::string& record) {
    CaptureStdout();
    bool ok = true;
    try {
      ParseStructureRecord(record, kContext, residues_, task_, topologies_, working_);
    } catch (const EErrorStop&) {
      ok = false;
    }
    output_ = GetCapturedStdout();
    return ok;
  }
  std::string Text() {
    StructureToText(working_, topologies_, task_, residues_, shape_, text_);
    return text_;
  }
  // Per node: name index, entry's anomeric and absolute codes, node's anomeric, absolute, Subst1,
  // Subst2. Also checks what every parsed node and entry must hold.
  std::vector<std::vector<int>> Nodes() {
    std::vector<std::vector<int>> nodes;
    EXPECT_EQ(task_.ResidueCount, working_.Nodes.size());
    EXPECT_EQ(task_.Residues.size(), working_.Nodes.size() + 1);
    for (std::size_t j = 0; j < working_.Nodes.size(); ++j) {
      const tStructureNode& n = working_.Nodes[j];
      EXPECT_EQ(n.Residue, j + 1);
      const tTaskResidue& e = task_.Residues.at(n.Residue);
      EXPECT_EQ(e.Subst1, kAnyPosition);
      EXPECT_EQ(e.Subst2, kAnyPosition);
      nodes.push_back({e.NameIndex, e.Anomeric, e.Absolute, n.Anomeric, n.Absolute, n.Subst1,
                       n.Subst2});
    }
    return nodes;
  }
  testing::TempDir dir_;
  tResidueTable residues_;
  tTask task_;
  tTopologyTable topologies_;
  tStructure working_;
  std::string output_, shape_, text_;
};

TEST_F(StructureNotationTest, FatalErrorsInTheOrderOfTheChecks) {
  const std::string c = kContext;
  const std::string the = "According to the topology specified, the residue ";
  const struct {
    std::string record;
    std::string message;
  } cases[] = {
      {"1)aDGlc- ", "The structure should not contain any spaces" + c},
      {"4)aDGal-0-1)aDGlc-", "Illegal substitution position \"0\" is specified or bad residue name" + c},
      {"4)aDGlc-1)bDGal-", "Illegal substitution position \"1\" is specified or bad residue name" + c},
      {"-[aDGal-]=3]4)aDGlc--", "Error interpreting the structure record at position 9" + c},
      {"4]x)aDGlc-", "Error interpreting the structure record at position 2" + c},
      {"4)aDGlc", "The structure record contains too many residues" + c},
      {"4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-", "The structure record contains too many residues" + c},
      {"-[aDGal-]-3]4)aD[Glc-", "Internal error IS1: structure string does not contain residue 2 recorded as 3]4)aDGlc" + c},
      {"4)aDGlc---4)aDGal-", "Internal error IS1: structure string does not contain residue 2 recorded as " + c},
      {"-[4)aDGlc-]-", "Could not interpret the structure topology" + c},
      {"4)aDGlc-]", "Could not interpret the structure topology" + c},
      {"-", "Could not interpret the structure topology" + c},
      {"[]", "Could not interpret the structure topology" + c},
      {"-[aDGal-]-P-", "The P residue can not be bisubstituted" + c},
      {"4)4)aDGlc-", "More than one main chains are specified for the residue\"4)4)aDGlc\"" + c},
      {"aD)Glc-", "Could not locate main chain attachment in \"aD)Glc\" residue" + c},
      {"4]4aDGlc-", "Could not locate main chain attachment in \"4]4aDGlc\" residue" + c},
      {"aDG)lc-", "Could not locate substitution positions in \"aDG)lc\" residue" + c},
      // Node 0 (the second token) passes all its checks before node 1 is looked at.
      {"-[4)aDGal-]-3]4)aDGlc-", the + "\"4)aDGal\" is terminal and can have no substitutions" + c},
      {"aDGlc-", the + "\"aDGlc\" is monosubstituted" + c + "\nPosition should be specified as x)"},
      {"3]4)aDGlc-", the + "\"3]4)aDGlc\" is monosubstituted" + c + "\nPosition should be specified as x)"},
      {"-[aDGal-]-4)aDGlc-", the + "\"4)aDGlc\" is bisubstituted" + c + "\nPosition should be specified as x]y)"},
      {"x)aDGlc-", "Illegal substitution position \"x\" is specified in \"x)aDGlc\" residue" + c},
      {"-[aDGal-]-3]3)aDGlc-", "Both side and main chains can not be attached to one position (3) in 3]3)aDGlc" + c},
      {"4)qDGlc-", "Could not retrieve the anomeric configuration for qDGlc residue" + c},
      {"4)-", "Could not retrieve the anomeric configuration for  residue" + c},
      {"4)aQGlc-", "Could not retrieve the absolute configuration for aQGlc residue" + c},
      {"4)a-", "Could not retrieve the absolute configuration for a residue" + c},
      {"4)aDFoo-", "The unknown residue name (Foo) is detected in structure record" + c + "\nSee NAMES.PS for the list of available names and add the new name if required."},
      {"4)aDP-", "The unknown residue name (P) is detected in structure record" + c + "\nSee NAMES.PS for the list of available names and add the new name if required."},
      {"4)cDGlc-", "Accordingly to NAMES.PS, the residue Glc should have either alfa(a) or beta(b) anomeric configuration" + c},
      {"2)aDGro-", "Accordingly to NAMES.PS, the residue Gro should have no anomeric forms" + c + "\n\"c\" should be specified as its anomeric configuration"},
      {"5)cDGro-", "The substitution position specified exceeds the number of atoms declared in NAMES.PS forGro residue" + c},
      {"-[cDAce-]-3]4)aDGlcN-", "Accordingly to NAMES.PS, the residue GlcN can not have N-linkage at position 3" + c},
      {"-[cDAce-]-2]5)aDGlcN-", "Accordingly to NAMES.PS, the residue GlcN can not have O-linkage at position 5" + c},
      {"2)aDGlcN-", "Accordingly to NAMES.PS, the residue GlcN can not have O-linkage at position 2" + c},
  };
  for (const auto& row : cases) {
    EXPECT_FALSE(Parse(row.record)) << row.record;
    EXPECT_EQ(output_, Fatal(row.message)) << row.record;
  }
}

TEST_F(StructureNotationTest, RecordsSetCompositionTopologyAndNodes) {
  const struct {
    std::string record;
    int topology;
    std::vector<std::vector<int>> nodes;
  } cases[] = {
      {"3)bDGal-3)aDGal-3)bDGalf-3)bDGlc-5)bDGalf-", 0,
       {{Gal, 1, 0, 1, 0, 3, 0}, {Gal, 0, 0, 0, 0, 3, 0}, {Galf, 1, 0, 1, 0, 3, 0},
        {Glc, 1, 0, 1, 0, 3, 0}, {Galf, 1, 0, 1, 0, 5, 0}}},
      {"-[aLRha-]-3]4)aDGlc-2)bDGal-", 1,
       {{Glc, 0, 0, 0, 0, 4, 3}, {Gal, 1, 0, 1, 0, 2, 0}, {Rha, 0, 1, 0, 1, 0, 0}}},
      // Template -[x2]=x0-[x3]=x1-: node 1 takes the fourth token, node 3 the third.
      {"-[aDGal-]-2]4)aDGlc-[aLRha-]-3]4)bDGlc-", 3,
       {{Glc, 0, 0, 0, 0, 4, 2}, {Glc, 1, 0, 1, 0, 4, 3}, {Gal, 0, 0, 0, 0, 0, 0},
        {Rha, 0, 1, 0, 1, 0, 0}}},
      {"4)aDGlc-", 0, {{Glc, 0, 0, 0, 0, 4, 0}}},
      {"--4)AdGlc--", 0, {{Glc, 0, 0, 0, 0, 4, 0}}},
      {"3)CdGrop-P-6)bLGlc-", 0,
       {{GroP, 2, 0, 0, 0, 3, 0}, {P, 2, 0, 0, 0, 2, 0}, {Glc, 1, 1, 1, 1, 6, 0}}},
      {"-[p-]-3]4)aDGlc-", 1, {{Glc, 0, 0, 0, 0, 4, 3}, {P, 2, 0, 0, 0, 0, 0}}},
      {"-[cDAce-]-2]4)aDGlcN-", 1, {{GlcN, 0, 0, 0, 0, 4, 2}, {Ace, 2, 0, 0, 0, 0, 0}}},
      {"4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-", 0,
       std::vector<std::vector<int>>(9, {Glc, 0, 0, 0, 0, 4, 0})},
  };
  for (const auto& row : cases) {
    ASSERT_TRUE(Parse(row.record)) << row.record << output_;
    EXPECT_EQ(output_, "");
    EXPECT_EQ(working_.Topology, row.topology) << row.record;
    EXPECT_EQ(topologies_.size(), kTemplateCounts[row.nodes.size() - 1]) << row.record;
    EXPECT_EQ(Nodes(), row.nodes) << row.record;
  }
}

TEST_F(StructureNotationTest, WrittenForm) {
  const struct {
    std::string record, text, shape;
  } cases[] = {
      {"-[aLRha-]-3]4)aDGlc-2)bDGal-", "-[aLRha-]=3]4)aDGlc--2)bDGal--", "[x]xx"},
      {"3)CdGrop-P-6)bLGlc-", "-3)DGroP--P--6)bLGlc--", "xxx"},
      {"-[cDAce-]-2]4)aDGlcN-", "-[DAce-]=2]4)aDGlcN--", "[x]x"},
      // A name holding "x2" is not taken for the token of node 2.
      {"4)aDAx2-4)aDGlc-4)bDGlc-", "-4)aDAx2--4)aDGlc--4)bDGlc--", "xxx"},
  };
  for (const auto& row : cases) {
    ASSERT_TRUE(Parse(row.record)) << row.record << output_;
    EXPECT_EQ(Text(), row.text);
    EXPECT_EQ(shape_, row.shape);
  }
}

TEST_F(StructureNotationTest, WritingAnInconsistentStructureIsAnInternalError) {
  ASSERT_TRUE(Parse("4)aDGlc-4)aDGlc-4)aDGlc-"));
  tStructure bad_topology = working_;
  bad_topology.Topology = static_cast<std::uint8_t>(topologies_.size());
  tStructure extra_node = working_;
  extra_node.Nodes.push_back(working_.Nodes[0]);
  const struct {
    tStructure structure;
    std::string message;
  } cases[] = {
      {bad_topology, "Internal error IS_SP1: topology index exceeds bounds of topology array for the current number of residues"},
      {extra_node, "Internal error IS_SP2: The residue x3 does not exist in topology -x0-x1-x2-"},
  };
  for (const auto& row : cases) {
    CaptureStdout();
    EXPECT_THROW(StructureToText(row.structure, topologies_, task_, residues_, shape_, text_),
                 EErrorStop);
    EXPECT_EQ(GetCapturedStdout(), Fatal(row.message));
  }
}

// Every linear placement of small compositions, with varied positions and configurations,
// reads back from its written form as the same structure.
TEST_F(StructureNotationTest, LinearWrittenFormsReadBack) {
  const std::vector<int> pool = {Glc, P, Rha, Galf, Gal};
  const auto positions = [](int name) -> std::vector<std::uint8_t> {
    switch (name) {
      case Rha: return {2, 3, 4};
      case Galf: return {2, 3, 5, 6};
      default: return {2, 3, 4, 6};
    }
  };
  int checked = 0;
  for (std::size_t n = 1; n <= pool.size(); ++n) {
    std::vector<int> order(n);
    for (std::size_t i = 0; i < n; ++i) order[i] = static_cast<int>(i + 1);
    do {
      for (int variant = 0; variant < 4; ++variant) {
        task_ = tTask{};
        task_.ResidueCount = static_cast<std::uint8_t>(n);
        task_.Residues.resize(n + 1);
        for (std::size_t i = 0; i < n; ++i) task_.Residues[i + 1].NameIndex = static_cast<std::uint8_t>(pool[i]);
        ASSERT_TRUE(BuildTopologyCatalogue(task_.ResidueCount, topologies_));
        working_ = tStructure{};
        std::vector<std::vector<int>> expected;
        for (std::size_t j = 0; j < n; ++j) {
          const int name = pool[order[j] - 1];
          const int k = variant + static_cast<int>(j);
          tStructureNode node{.Residue = static_cast<std::uint8_t>(order[j]), .Subst1 = 2};
          if (name != P) {
            node.Anomeric = static_cast<std::uint8_t>(k % 2);
            node.Absolute = static_cast<std::uint8_t>((variant / 2 + j) % 2);
            node.Subst1 = positions(name)[k % positions(name).size()];
          }
          working_.Nodes.push_back(node);
          const int anomeric = name == P ? 2 : node.Anomeric;
          expected.push_back({name, anomeric, node.Absolute, node.Anomeric, node.Absolute,
                              node.Subst1, 0});
        }
        const std::string written = Text();
        ASSERT_TRUE(Parse(written)) << written << output_;
        EXPECT_EQ(working_.Topology, 0);
        EXPECT_EQ(Nodes(), expected) << written;
        EXPECT_EQ(Text(), written);
        ++checked;
      }
    } while (std::next_permutation(order.begin(), order.end()));
  }
  EXPECT_EQ(checked, 4 * (1 + 2 + 6 + 24 + 120));
}

// A written side chain ends with "]=", which the reader refuses at that bracket.
TEST_F(StructureNotationTest, WrittenSideChainsAreRefusedAtTheirBracket) {
  for (std::uint8_t n = 2; n <= 5; ++n) {
    ASSERT_TRUE(BuildTopologyCatalogue(n, topologies_));
    const tTopologyTable table = topologies_;
    for (std::size_t t = 1; t < table.size(); ++t) {
      task_ = tTask{};
      task_.ResidueCount = n;
      task_.Residues.assign(n + 1, tTaskResidue{.NameIndex = Glc});
      working_ = tStructure{.Topology = static_cast<std::uint8_t>(t), .Nodes = {}};
      for (std::uint8_t j = 0; j < n; ++j) {
        const std::uint8_t children = table[t].Nodes[j].ChildCount;
        working_.Nodes.push_back({.Residue = static_cast<std::uint8_t>(j + 1),
                                  .Subst1 = static_cast<std::uint8_t>(children > 0 ? 4 : 0),
                                  .Subst2 = static_cast<std::uint8_t>(children > 1 ? 3 : 0)});
      }
      const std::string written = Text();
      EXPECT_FALSE(Parse(written)) << written;
      EXPECT_EQ(output_, Fatal("Error interpreting the structure record at position " +
                               std::to_string(written.find("]=") + 1) + kContext))
          << written;
    }
  }
}

class StructureFileTest : public StructureNotationTest {
 protected:
  bool Read(const std::string& argument) {
    CaptureStdout();
    const bool ok = ReadStructureFile(argument, residues_, task_, topologies_, working_);
    output_ = GetCapturedStdout();
    return ok;
  }
};

TEST_F(StructureFileTest, FileNameRuleAndOnlyTheFirstDataLine) {
  dir_.Write("CALC.STR", "; structure\n\n4)aDGlc- ;\tcomment\nnot read");
  dir_.Write("sub/X.STR", "-[aLRha-]-3]4)aDGlc-2)bDGal-");
  dir_.Write("sub/y.str", "4)aDGal-");
  {
    testing::ScopedWorkingDirectory cwd(dir_.Path());
    EXPECT_FALSE(Read("calc"));
    EXPECT_EQ(output_, Fatal("The structure should not contain any spaces, file CALC.STR, line 3"));
  }
  dir_.Write("CALC.STR", "; structure\n\n4)aDGlc-;\tcomment\nnot read");
  {
    testing::ScopedWorkingDirectory cwd(dir_.Path());
    EXPECT_TRUE(Read("calc"));
    EXPECT_EQ(output_, "");
    EXPECT_EQ(Nodes(), (std::vector<std::vector<int>>{{Glc, 0, 0, 0, 0, 4, 0}}));
  }
  EXPECT_TRUE(Read(dir_ / "sub/x.txt")) << output_;
  EXPECT_EQ(working_.Topology, 1);
  EXPECT_EQ(task_.ResidueCount, 3);
  EXPECT_TRUE(Read(dir_ / "sub/Y")) << output_;
  EXPECT_EQ(Nodes(), (std::vector<std::vector<int>>{{Gal, 0, 0, 0, 0, 4, 0}}));
}

TEST_F(StructureFileTest, FailuresReturnFalse) {
  const std::string file = dir_ / "S.STR";
  dir_.Write("S.STR", "; only\n\n   ; comments\n");
  EXPECT_FALSE(Read(dir_ / "s"));
  EXPECT_EQ(output_, Fatal(file + " contains no data"));
  dir_.Write("S.STR", "\n\n\n\naDGlc-\n");
  EXPECT_FALSE(Read(dir_ / "s.dat"));
  EXPECT_EQ(output_, Fatal("According to the topology specified, the residue \"aDGlc\" is "
                           "monosubstituted, file " + file + ", line 5\n"
                           "Position should be specified as x)"));

  const std::string question = "\nCould not open " + (dir_ / "MISSING.STR") +
                               " for reading: file not found\nRetry or Abort?";
  const struct {
    std::string keys, output;
  } answers[] = {
      {"a", question + "A\n"},
      {"r", question + "R\n" + question + "\nConsole error, code 0\nCan't continue\n\n"},
  };
  for (const auto& row : answers) {
    testing::KeyInput keys(row.keys);
    ASSERT_TRUE(keys.Ready());
    EXPECT_FALSE(Read(dir_ / "missing"));
    EXPECT_EQ(output_, row.output);
  }
}

}  // namespace
}  // namespace glycomb
