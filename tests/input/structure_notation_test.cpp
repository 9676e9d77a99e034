#include "input/structure_notation.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/fixtures.hpp"

namespace glycomb {
namespace {

using testing::Captured;
using testing::Fatal;

constexpr char kNames[] =
    "Glc /2oa3oa4oa5da6oa\nGal /2oa3oa4oe5da6oa\nRha /2oe3oa4oa5da6da\nGlcN /2na3oa4oa5da6oa\n"
    "Galf /2oa3oa4da5oa6oa fur\nGro /2oc3oc ald\nGrop /2oc3oc ald\nAce /2da non Nlink\n"
    "Ax2 /2oa3oa4oa5da6oa\n";
constexpr char kContext[] = ", file S.STR, line 2";

class StructureNotationTest : public ::testing::Test {
 protected:
  bool Parse(const std::string& record) {
    ::testing::internal::CaptureStdout();
    bool ok = true;
    try {
      ParseStructureRecord(record, kContext, residues_, task_, topologies_, working_);
    } catch (const EErrorStop&) {
      ok = false;
    }
    output_ = ::testing::internal::GetCapturedStdout();
    return ok;
  }
  std::string Text() {
    StructureToText(working_, topologies_, task_, residues_, shape_, text_);
    return text_;
  }
  // The topology index, then per node its name, the entry's and the node's anomeric and absolute
  // codes, Subst1 and Subst2: "1: Glc 0000 43; ...". Parsed entries never constrain positions.
  std::string Described() {
    std::string text = std::to_string(working_.Topology) + ":";
    EXPECT_EQ(task_.Residues.size(), working_.Nodes.size() + 1);
    for (std::size_t j = 0; j < working_.Nodes.size(); ++j) {
      const tStructureNode& n = working_.Nodes[j];
      const tTaskResidue& e = task_.Residues.at(n.Residue);
      EXPECT_TRUE(n.Residue == j + 1 && e.Subst1 == kAnyPosition && e.Subst2 == kAnyPosition);
      text += " " + residues_.at(e.NameIndex).Name + " ";
      for (const int code : {e.Anomeric, e.Absolute, n.Anomeric, n.Absolute}) {
        text += std::to_string(code);
      }
      text += " " + std::to_string(n.Subst1) + std::to_string(n.Subst2) + ";";
    }
    return text;
  }
  testing::TempDir dir_;
  tResidueTable residues_ = testing::ReadNames(dir_, kNames);
  tTask task_;
  tTopologyTable topologies_;
  tStructure working_;
  std::string output_, shape_, text_;
};

TEST_F(StructureNotationTest, FatalErrorsInTheOrderOfTheChecks) {
  const std::string c = kContext;
  const std::string the = "According to the topology specified, the residue ";
  const std::string names = "Accordingly to NAMES.PS, the residue ";
  const struct {
    std::string record, message;
  } cases[] = {
      {"1)aDGlc- ", "The structure should not contain any spaces" + c},
      {"4)aDGal-0-1)aDGlc-", "Illegal substitution position \"0\" is specified or bad residue name" + c},
      {"-[aDGal-]=3]4)aDGlc--", "Error interpreting the structure record at position 9" + c},
      {"4)aDGlc", "The structure record contains too many residues" + c},
      {"4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-", "The structure record contains too many residues" + c},
      {"-[aDGal-]-3]4)aD[Glc-", "Internal error IS1: structure string does not contain residue 2 recorded as 3]4)aDGlc" + c},
      {"4)aDGlc---4)aDGal-", "Internal error IS1: structure string does not contain residue 2 recorded as " + c},
      {"-[4)aDGlc-]-", "Could not interpret the structure topology" + c},
      {"-", "Could not interpret the structure topology" + c},
      {"-[aDGal-]-P-", "The P residue can not be bisubstituted" + c},
      {"4)4)aDGlc-", "More than one main chains are specified for the residue\"4)4)aDGlc\"" + c},
      {"4]4aDGlc-", "Could not locate main chain attachment in \"4]4aDGlc\" residue" + c},
      {"aDG)lc-", "Could not locate substitution positions in \"aDG)lc\" residue" + c},
      // Node 0 (the second token) passes all its checks before node 1 is looked at.
      {"-[4)aDGal-]-3]4)aDGlc-", the + "\"4)aDGal\" is terminal and can have no substitutions" + c},
      {"aDGlc-", the + "\"aDGlc\" is monosubstituted" + c + "\nPosition should be specified as x)"},
      {"-[aDGal-]-4)aDGlc-", the + "\"4)aDGlc\" is bisubstituted" + c + "\nPosition should be specified as x]y)"},
      {"x)aDGlc-", "Illegal substitution position \"x\" is specified in \"x)aDGlc\" residue" + c},
      {"-[aDGal-]-3]3)aDGlc-", "Both side and main chains can not be attached to one position (3) in 3]3)aDGlc" + c},
      {"4)-", "Could not retrieve the anomeric configuration for  residue" + c},
      {"4)a-", "Could not retrieve the absolute configuration for a residue" + c},
      {"4)aDP-", "The unknown residue name (P) is detected in structure record" + c + "\nSee NAMES.PS for the list of available names and add the new name if required."},
      {"4)cDGlc-", names + "Glc should have either alfa(a) or beta(b) anomeric configuration" + c},
      {"2)aDGro-", names + "Gro should have no anomeric forms" + c + "\n\"c\" should be specified as its anomeric configuration"},
      {"5)cDGro-", "The substitution position specified exceeds the number of atoms declared in NAMES.PS forGro residue" + c},
      {"-[cDAce-]-3]4)aDGlcN-", names + "GlcN can not have N-linkage at position 3" + c},
      {"2)aDGlcN-", names + "GlcN can not have O-linkage at position 2" + c},
  };
  for (const auto& row : cases) {
    EXPECT_FALSE(Parse(row.record)) << row.record;
    EXPECT_EQ(output_, Fatal(row.message)) << row.record;
  }
}

TEST_F(StructureNotationTest, ParsesAndWritesRecords) {
  const struct {
    std::string record, nodes, text;
  } cases[] = {
      {"-[aLRha-]-3]4)aDGlc-2)bDGal-", "1: Glc 0000 43; Gal 1010 20; Rha 0101 00;", "-[aLRha-]=3]4)aDGlc--2)bDGal--"},
      // Template -[x2]=x0-[x3]=x1-: node 1 takes the fourth token, node 3 the third.
      {"-[aDGal-]-2]4)aDGlc-[aLRha-]-3]4)bDGlc-", "3: Glc 0000 42; Glc 1010 43; Gal 0000 00; Rha 0101 00;", "-[aDGal-]=2]4)aDGlc--[aLRha-]=3]4)bDGlc--"},
      {"--4)AdGlc--", "0: Glc 0000 40;", "-4)aDGlc--"},
      {"3)CdGrop-p-6)bLGlc-", "0: GroP 2000 30; P 2000 20; Glc 1111 60;", "-3)DGroP--P--6)bLGlc--"},
      {"-[P-]-3]4)aDGlc-", "1: Glc 0000 43; P 2000 00;", "-[P-]=3]4)aDGlc--"},
      {"-[cDAce-]-2]4)aDGlcN-", "1: GlcN 0000 42; Ace 2000 00;", "-[DAce-]=2]4)aDGlcN--"},
      // A name holding "x2" is not taken for the token of node 2.
      {"4)aDAx2-4)aDGlc-4)bDGlc-", "0: Ax2 0000 40; Glc 0000 40; Glc 1010 40;", "-4)aDAx2--4)aDGlc--4)bDGlc--"},
  };
  for (const auto& row : cases) {
    ASSERT_TRUE(Parse(row.record)) << row.record << output_;
    EXPECT_EQ(Described(), row.nodes);
    EXPECT_EQ(Text(), row.text);
    EXPECT_EQ(shape_, TopologyShape(topologies_.at(working_.Topology).Template));
    // A written side chain ends with "]=", which the reader refuses at that bracket.
    const std::size_t bracket = row.text.find("]=");
    if (bracket == std::string::npos) continue;
    EXPECT_FALSE(Parse(row.text));
    EXPECT_EQ(output_, Fatal("Error interpreting the structure record at position " +
                             std::to_string(bracket + 1) + kContext));
  }
  ASSERT_TRUE(Parse("4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-4)aDGlc-"));
  EXPECT_EQ(topologies_.size(), 199u);
}

TEST_F(StructureNotationTest, WritingAnInconsistentStructureIsAnInternalError) {
  ASSERT_TRUE(Parse("4)aDGlc-4)aDGlc-4)aDGlc-"));
  working_.Nodes.push_back(working_.Nodes[0]);
  EXPECT_EQ(Captured([&] { EXPECT_THROW(Text(), EErrorStop); }),
            Fatal("Internal error IS_SP2: The residue x3 does not exist in topology -x0-x1-x2-"));
  working_.Topology = static_cast<std::uint8_t>(topologies_.size());
  EXPECT_EQ(Captured([&] { EXPECT_THROW(Text(), EErrorStop); }),
            Fatal("Internal error IS_SP1: topology index exceeds bounds of topology array for the "
                  "current number of residues"));
}

TEST_F(StructureNotationTest, StructureFile) {
  const std::string file = dir_ / "S.STR";
  // A line after the record that begins with REPORT, in any case, asks for the report.
  const struct {
    std::string content, argument, output;
    int report = 0;
  } cases[] = {
      {"; only\n\n   ; comments\n", "s", Fatal(file + " contains no data")},
      {"\n\n4)aDGlc- ; comment\n", "s.txt",
       Fatal("The structure should not contain any spaces, file " + file + ", line 3")},
      {"4)aDGlc-\n REPORT\n; REPORT\nREPOR", "s", ""},
      {"4)aDGlc-\n\nReport, please\n", "s", "", 1},
      {"\n4)aDGlc-;\tcomment\nnot read", "s.txt", ""},
  };
  for (const auto& row : cases) {
    dir_.Write("S.STR", row.content);
    bool ok = false;
    const auto read = [&] {
      ok = ReadStructureFile(dir_ / row.argument, residues_, task_, topologies_, working_);
    };
    EXPECT_EQ(Captured(read), row.output) << row.content;
    EXPECT_EQ(ok, row.output.empty()) << row.content;
    if (ok) {
      EXPECT_EQ(task_.Report, row.report) << row.content;
    }
  }
  EXPECT_EQ(Described(), "0: Glc 0000 40;");
  dir_.Write("sub/x.str", "-[aLRha-]-3]4)aDGlc-2)bDGal-");
  testing::ScopedWorkingDirectory cwd(dir_ / "sub");
  EXPECT_TRUE(ReadStructureFile("x", residues_, task_, topologies_, working_));
  EXPECT_EQ(working_.Topology, 1);
}

}  // namespace
}  // namespace glycomb
