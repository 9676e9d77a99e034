#include "input/task_file.hpp"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/fixtures.hpp"
#include "support/key_input.hpp"

namespace glycomb {
namespace {

constexpr char kNames[] =
    "; residues of the task tests\n"
    "Glc /2oa3oa4oa5da6oa\nGal /2oa3oa4oe5da6oa\nGlcN /2na3oa4oa5da6oa\nManp /2oe3oa4oa5da6oa\n"
    "Rib /2oa3oa4oa5oa fur\nGro /2oc3oc ald\nGroP /2oc3oc ald\nAce /2da non Nlink\n"
    "Dxy /2da3da4da5da6da\n";

std::string Replace(std::string text, const std::string& from, const std::string& to) {
  for (std::size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
    text.replace(at, from.size(), to);
    at += to.size();
  }
  return text;
}

class TaskFileTest : public ::testing::Test {
 protected:
  // Reads `text` as the task file T.TSK; the output goes to output_ with the file name as {F}.
  bool ReadText(const std::string& text) {
    dir_.Write("T.TSK", text);
    const bool ok = Read(dir_ / "t.dat");
    output_ = Replace(output_, dir_ / "T.TSK", "{F}");
    return ok;
  }
  bool Read(const std::string& name) {
    bool ok = false;
    output_ = testing::Captured([&] { ok = ReadTaskFile(name, residues_, task_); });
    return ok;
  }
  testing::TempDir dir_;
  tResidueTable residues_ = testing::ReadNames(dir_, kNames);
  tTask task_;
  std::string output_;
};

TEST_F(TaskFileTest, FatalErrorsInOrder) {
  const std::string six = "\n1 2 3 4 5 6\n";
  std::string thousand;
  for (int i = 0; i < 100; ++i) thousand += "1 2 3 4 5 6 7 8 9 10\n";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"; nothing\n\n", "{F} contains no data"},
      {"aDGlc aDGlc aDGlc aDGlc aDGlc aDGlc aDGlc aDGlc aDGlc aDGlc\n", "Too many residues specified in {F}, line 1"},
      {"aDGlc 3x)a)DGlc", "There should be exactly 2 symbols before )-sign or no constraints at all, file {F}, line 1, residue 2 [3x)a)DGlc]"},
      {"\n3)aDGlc", "There should be exactly 2 symbols before )-sign or no constraints at all, file {F}, line 2, residue 1 [3)aDGlc]"},
      {"))", "There should be exactly 2 symbols before )-sign or no constraints at all, file {F}, line 1, residue 1 [))]"},
      {"y4)aDGlc", "Wrong constraint for the first substitution specified, File {F}, line 1, residue 1 [y4)aDGlc]"},
      {"31)aDGlc", "Wrong constraint for the second substitution specified, file {F}, line 1, residue 1 [31)aDGlc]"},
      {"34)aD", "34)aD is too short to be a residue name, file {F}, line 1"},
      {"?\?)", "?\?) is too short to be a residue name, file {F}, line 1"},
      {"qDGlc", "Wrong anomeric configuration specified, file {F}, line 1, residue 1 [qDGlc]"},
      {"aQGlc", "Wrong absolute configuration specified, file {F}, line 1, residue 1 (aQGlc)"},
      {"aDFoo", "The unknown residue name (Foo) is detected in {F}, line 1\nSee NAMES.PS for the list of available names and add the new name if required."},
      {"aDP", "The unknown residue name (P) is detected in {F}, line 1\nSee NAMES.PS for the list of available names and add the new name if required."},
      {"cDGlc", "Accordingly to NAMES.PS, the residue Glc ({F}, line 1) should have either alfa(a) or beta(b) anomeric configuration"},
      {"aDGro", "Accordingly to NAMES.PS, the residue Gro ({F}, line 1) has no anomeric forms.\n\"c\" should be specified as its anomeric configuration"},
      {"5?)aDGlc", "Accordingly to NAMES.PS, the residue Glc ({F}, line 1) can not be substituted at position 5"},
      {"?7)aDGlc", "Accordingly to NAMES.PS, the residue Glc ({F}, line 1) can not be substituted at position 7"},
      {"33)aDGlc", "Constraints for two substitution positions can not be the same , file {F}, line 1, residue 1 [Glc]"},
      {"x3)aDGlc", "Wrong constraints for substitution positions, file {F}, line 1, residue 1 (Glc). Linear residues should be described as \"Nx)\""},
      {"aDGlc\n; no spectrum\n", "{F} contains no spectral data"},
      {"aDGlc\n1034 12a4", "The input file {F} is corrupted, line 2"},
      {"aDGlc\n1 2 3\n4 5 10x4", "The input file {F} is corrupted, line 3"},
      {"aDGlc\n1 2 3 + 5 6", "The input file {F} is corrupted, line 2"},
      {"aDGlc\n1 2 3 4 5", "The file {F} contains chemical shifts for 5 signals, while according to NAMES.PS this monomeric composition should give 6 signals"},
      {"aDGlc bDGal\n1 2 3 4 5 6 7 8 9 10 11", "The file {F} contains chemical shifts for 11 signals, while according to NAMES.PS this monomeric composition should give 12 signals"},
      {"aDGlc\n" + thousand, "The file {F} contains chemical shifts for 1000 signals, while according to NAMES.PS this monomeric composition should give 6 signals"},
      {"aDGlc\n1 2 3\n-4 5 6", "The file {F} contains chemical shifts for 3 signals, while according to NAMES.PS this monomeric composition should give 6 signals"},
      {"aDDxy" + six + "LIMIT: 5\n; end", "There are not enough O-substitutable positions to hold all O-linked residues found, file {F}, line 4"},
      {"aDGlc cDAce\n1 2 3 4 5 6 7 8", "There are not enough N-substitutable positions to hold all N-linked residues found, file {F}, line 2"},
      {"aDGlc cDGro\n1 2 3 4 5 6 7 8 9\nwidespread mode", "There number of phosphate groups exceeds the number of alditols, file {F}\nTo generate structures with non-phosphorylated alditols turn off WIDESPREAD mode in your task file"},
      {"aDGlc cDGro\n1 2 3 4 5 6\n7 8\n9\nSPINSYSTEMS", "The spin system of 2 shifts in {F}, line 3 matches no residue of the composition, which still needs spin systems of 3 carbons"},
      {"aDGlc bDGlc cDGro\n1 2 3 4 5 6\n1 2 3\n1 2 3\n1 2 3\nspinsystems please", "The spin system of 3 shifts in {F}, line 4 matches no residue of the composition, which still needs spin systems of 6 carbons"},
      {"aDGlc bDGlc cDGro\n1 2 3 4 5 6 7 8 9 10 11 12 13 14 15\nSPINSYSTEMS", "The spin system of 15 shifts in {F}, line 2 matches no residue of the composition, which still needs spin systems of 6, 6 and 3 carbons"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(ReadText(c.text)) << c.text;
    EXPECT_EQ(output_, testing::Fatal(c.message)) << c.text;
  }
}

TEST_F(TaskFileTest, ReadsCompositionSpectrumAndOptions) {
  ASSERT_TRUE(ReadText("; task\n  34)bDGlc   3x)aDGal\t?\?)?DGlcN xx)aLManp  P p ; comment\n"
                   "1034 1034 103 -103 +10 00 2 3 4 5 6 7\n  8 9 10 11 12 13\n"
                   "14 15 16 17 18 19\nCORRECTION: -5\ncorrection:+2\nWideSpread\nreport\nLimit:50"))
      << output_;
  EXPECT_EQ(output_, "");
  EXPECT_EQ(task_.CompositionText, "34)bDGlc 3x)aDGal ?\?)?DGlcN xx)aLManp P p");
  ASSERT_EQ(task_.ResidueCount, 6);
  const std::vector<std::vector<int>> expected = {{1, 1, 0, 3, 4}, {2, 0, 0, 3, 0},
                                                  {3, 3, 0, 255, 255}, {4, 0, 1, 0, 0},
                                                  {0, 2, 0, 255, 0}, {0, 2, 0, 255, 0}};
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const tTaskResidue& r = task_.Residues.at(i + 1);
    EXPECT_EQ((std::vector<int>{r.NameIndex, r.Anomeric, r.Absolute, r.Subst1, r.Subst2}),
              expected[i]) << "residue " << i + 1;
  }
  const signal_array spectrum = {-106, -3, -1, 0,  1,  2,  3,  4,  5,   6,    7,    7,
                                 8,    9,  10, 11, 12, 13, 14, 15, 16, 100, 1031, 1031};
  EXPECT_EQ(task_.Spectrum, spectrum);
  EXPECT_EQ(task_.Correction, 2);
  EXPECT_EQ(task_.WideSpread, 1);
  EXPECT_EQ(task_.Limit, 50);
  EXPECT_EQ(task_.Report, 1);
  EXPECT_EQ(task_.ResultFileName, dir_ / "T.RES");
}

// A spectrum value is read from its first four characters, whatever they are; only a cut value
// that is not a number is refused.
TEST_F(TaskFileTest, SpectrumValuesAreTheirFirstFourCharacters) {
  const struct {
    const char* value;
    std::optional<int> shift;  // empty: the file is corrupted
  } cases[] = {
      {"10507", 1050}, {"06201", 620}, {"1034.5", 1034}, {"-1034", -103},
      {"1e3", {}},     {"+12", 12},    {"1034x", 1034},  {"103x", {}},
      {"-", {}},       {"-000", 0},    {"99999999999999999999999", 9999},
  };
  for (const auto& c : cases) {
    const bool read = ReadText(std::string("cDGro\n") + c.value + " 1 2\n");
    EXPECT_EQ(read, c.shift.has_value()) << c.value;
    if (c.shift) {
      signal_array expected = {*c.shift, 1, 2};
      SortSpectrum(expected);
      EXPECT_EQ(task_.Spectrum, expected) << c.value;
    } else {
      EXPECT_EQ(output_, testing::Fatal("The input file {F} is corrupted, line 2")) << c.value;
    }
  }
}

TEST_F(TaskFileTest, BadOptionsWarnAndTheStatedValuesStand) {
  const std::string head = "aDGlc\n1 2 3 4 5 6\n";
  const std::string correction = "Warning: Spectrum correction is specified incorrectly or exceeds the range of -12.7..+12.7, file {F}, line 3\nContinuing with no correction\n";
  const std::string bounds = "Warning: The number of structures exceeds bounds of 1..99, file {F}, line ";
  const std::string limit = "Warning: The number of structures is specified incorrectly or exceeds 255, file {F}, line ";
  const std::string twenty = "\nContinuing with limit=20\n";
  const struct {
    std::string options;
    std::string output;
    int first_shift, correction, limit;
    int report = 0;
  } cases[] = {
      {"CORRECTION: 200", correction, 1, 0, 20},
      {"CORRECTION: 5x", correction, 1, 0, 20},
      {"CORRECTION: 99999999999999999999999", correction, 1, 0, 20},
      {"LIMIT: 150", bounds + "3" + twenty, 1, 0, 20},
      {"LIMIT: 7\nLIMIT: 0", bounds + "4" + twenty, 1, 0, 20},
      {"LIMIT: 300", limit + "3" + twenty, 1, 0, 20},
      {"LIMIT: 7\nLIMIT: -1", limit + "4" + twenty, 1, 0, 20},
      {"LIMIT: 7\nLIMIT: 50 ", limit + "4" + twenty, 1, 0, 20},
      {"LIMIT: 99999999999999999999999", limit + "3" + twenty, 1, 0, 20},
      {"   limit:   7  ", "", 1, 0, 7},
      {"  REPORT", "", 1, 0, 20, 1},
      {"nothing\n  LIMIT: 7\nCORRECTION: -1\n REPORT", "", 0, -1, 20},
  };
  for (const auto& c : cases) {
    EXPECT_TRUE(ReadText(head + c.options)) << c.options;
    EXPECT_EQ(output_, c.output) << c.options;
    EXPECT_EQ(task_.Spectrum.front(), c.first_shift) << c.options;
    EXPECT_EQ(task_.Correction, c.correction) << c.options;
    EXPECT_EQ(task_.Limit, c.limit) << c.options;
    EXPECT_EQ(task_.Report, c.report) << c.options;
  }
}

// With SPINSYSTEMS every spectrum line is one residue, C1 first, corrected like the spectrum; the
// lines may stand in any order. CORRECTION: AUTO in any case, blanks around it allowed.
TEST_F(TaskFileTest, SpinSystemsAndAutomaticCorrection) {
  ASSERT_TRUE(ReadText("aDGlc cDGro P bDGal\n7 8 9\n1 2 3 4 5 6\n11 12 13 14 15 16\n"
                       "Correction: -1\nSpinSystems\ncorrection:  auto \nCORRECTION: +3"))
      << output_;
  EXPECT_EQ(output_, "");
  EXPECT_EQ(task_.SpinSystems, 1);
  EXPECT_EQ(task_.AutoCorrection, 1);
  EXPECT_EQ(task_.SpinLines,
            (std::vector<signal_array>{{9, 10, 11}, {3, 4, 5, 6, 7, 8}, {13, 14, 15, 16, 17, 18}}));
  EXPECT_EQ(task_.Spectrum.front(), 3);
  EXPECT_EQ(task_.Spectrum.size(), 15u);
  // Without the keywords nothing of it is set; AUTO with more after it is a bad correction.
  ASSERT_TRUE(ReadText("aDGlc\n1 2 3 4 5 6\nCORRECTION: AUTOMATIC")) << output_;
  EXPECT_EQ(output_, "Warning: Spectrum correction is specified incorrectly or exceeds the range of "
                     "-12.7..+12.7, file {F}, line 3\nContinuing with no correction\n");
  EXPECT_EQ(task_.SpinSystems, 0);
  EXPECT_EQ(task_.AutoCorrection, 0);
  EXPECT_TRUE(task_.SpinLines.empty());
}

// LINK lines name two spin systems and a position: blanks anywhere, several lines, in any order
// with SPINSYSTEMS; DISTINCT in any case.
TEST_F(TaskFileTest, LinkLinesAndDistinct) {
  ASSERT_TRUE(ReadText("aDGlc bDGal aDManp\n1 2 3 4 5 6\n7 8 9 10 11 12\n13 14 15 16 17 18\n"
                       "LINK:3(1->4)1\nlink: 1 ( 1 -> ? ) 2 \nSPINSYSTEMS\ndistinct"))
      << output_;
  ASSERT_EQ(task_.Links.size(), 2u);
  EXPECT_EQ(task_.Links[0].From, 3);
  EXPECT_EQ(task_.Links[0].Position, 4);
  EXPECT_EQ(task_.Links[0].To, 1);
  EXPECT_EQ(task_.Links[0].Text, "LINK: 3 (1->4) 1");
  EXPECT_EQ(task_.Links[1].Position, 0);
  EXPECT_EQ(task_.Links[1].Text, "LINK: 1 (1->?) 2");
  EXPECT_EQ(task_.Distinct, 1);
}

TEST_F(TaskFileTest, BadLinkLines) {
  // Three glucoses and a glycerol as spin systems 1..4 (lines 2..5); a glycerol carries at 2, 3.
  const std::string head =
      "aDGlc bDGlc aDGlc cDGro\n1 2 3 4 5 6\n1 2 3 4 5 6\n1 2 3 4 5 6\n1 2 3\nSPINSYSTEMS\n";
  const struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"aDGlc bDGlc\n1 2 3 4 5 6 7 8 9 10 11 12\nLINK: 1 (1->3) 2",
       "LINK lines need SPINSYSTEMS: they name spin systems by their numbers, file {F}, line 3"},
      {head + "LINK: 1 (1-3) 2", "Could not interpret the LINK line; it should read LINK: i (1->p) j with spin systems i and j and a position p of 2..9 or ?, file {F}, line 7"},
      {head + "LINK: 1 (1->1) 2", "Could not interpret the LINK line; it should read LINK: i (1->p) j with spin systems i and j and a position p of 2..9 or ?, file {F}, line 7"},
      {head + "LINK: 1 (1->3) 2 3", "Could not interpret the LINK line; it should read LINK: i (1->p) j with spin systems i and j and a position p of 2..9 or ?, file {F}, line 7"},
      {head + "LINK: 1 (1->3) 5", "There is no spin system 5 for the LINK line: the spectrum has 4, file {F}, line 7"},
      {head + "LINK: 0 (1->3) 2", "There is no spin system 0 for the LINK line: the spectrum has 4, file {F}, line 7"},
      {head + "LINK: 2 (1->3) 2", "A LINK line cannot attach spin system 2 to itself, file {F}, line 7"},
      {head + "LINK: 1 (1->4) 4", "No residue of the composition with 3 carbons, as spin system 4 has, can carry a residue at position 4, file {F}, line 7"},
      {head + "LINK: 1 (1->5) 2", "No residue of the composition with 6 carbons, as spin system 2 has, can carry a residue at position 5, file {F}, line 7"},
      {head + "LINK: 1 (1->3) 2\nLINK: 1 (1->?) 3", "Spin system 1 is attached through its carbon 1 by two LINK lines, file {F}, line 8"},
      {"aDGlc bDGlc aDGlc bDGal aDManp\n1 2 3 4 5 6\n1 2 3 4 5 6\n1 2 3 4 5 6\n1 2 3 4 5 6\n"
       "1 2 3 4 5 6\nSPINSYSTEMS\nWIDESPREAD\nLINK: 1 (1->3) 2\nLINK: 2 (1->?) 1",
       "The LINK lines close a cycle of 2 residues, and no main chain of this composition is shorter than 3, file {F}, line 10"},
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(ReadText(c.text)) << c.text;
    EXPECT_EQ(output_, testing::Fatal(c.message)) << c.text;
  }
}

TEST_F(TaskFileTest, PhosphorylatedAlditolsAndNLinkedResiduesPass) {
  EXPECT_TRUE(ReadText("aDGlc cDGro P\n1 2 3 4 5 6 7 8 9\nWIDESPREAD")) << output_;
  EXPECT_TRUE(ReadText("aDGlcN cDAce ?DGroP\n1 2 3 4 5 6 7 8 9 10 11\nWIDESPREAD")) << output_;
}

TEST_F(TaskFileTest, TaskFileAndResultFileNames) {
  dir_.Write("abc.tsk", "");
  EXPECT_FALSE(Read(dir_ / "abc.dat"));
  EXPECT_EQ(output_, testing::Fatal((dir_ / "ABC.TSK") + " contains no data"));
  EXPECT_EQ(task_.ResultFileName, dir_ / "ABC.RES");
  testing::KeyInput abort("a");
  EXPECT_FALSE(Read(dir_ / "missing"));
  EXPECT_EQ(output_, "\nCould not open " + (dir_ / "MISSING.TSK") +
                         " for reading: file not found\nRetry or Abort?A\n");
}

}  // namespace
}  // namespace glycomb
