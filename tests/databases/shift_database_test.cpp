#include "databases/shift_database.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "databases/database_files.hpp"

namespace glycomb {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using testing::DatabaseDir;
using testing::Fatal;
using testing::KeyInput;
using testing::ShiftLine;
using testing::TerminalLine;
using testing::WithColumns;

const std::vector<int> kHexose = {1015, 721, 832, 699, 768, 619};

// Reads the shift database of `task`; the console input is empty, so any Retry/Abort question
// ends the reading with a fatal console error.
bool Read(const DatabaseDir& dir, const tTask& task, tShiftTable& table, std::string& output) {
  KeyInput keys("");
  CaptureStdout();
  const bool read = ReadShiftDatabase(dir.Residues(), task, table);
  output = GetCapturedStdout();
  return read;
}

// The terminal C1 shift of an entry, or -1 when the entry holds no data.
int TerminalC1(const tShiftTable& table, unsigned residue, unsigned form) {
  const realdata1e* terminal = table.Entry(residue, form).Terminal();
  return terminal == nullptr ? -1 : terminal->Shifts[0];
}

TEST(ShiftFileNameTest, PrefixByFormOrRingKindAndUpperCase) {
  DatabaseDir dir;
  const tResidueTable& r = dir.Residues();
  EXPECT_EQ(ShiftFileName(r[1], 0), "c13data/A-GLC.DAT");
  EXPECT_EQ(ShiftFileName(r[1], 1), "c13data/B-GLC.DAT");
  EXPECT_EQ(ShiftFileName(r[4], 0), "c13data/C-GRO.DAT");
  EXPECT_EQ(ShiftFileName(r[5], 0), "c13data/C-ACE.DAT");
  EXPECT_EQ(ShiftFileName(r[6], 1), "c13data/B-ARAF.DAT");
}

TEST(ShiftDatabaseTest, ReadsExactlyTheFilesTheCompositionNeeds) {
  DatabaseDir dir;
  // Each file's terminal C1 shift tells which file an entry was read from. No other file exists:
  // opening one would ask Retry or Abort and fail on the empty key input.
  dir.Write("c13data/A-GLC.DAT", TerminalLine({1, 2, 3, 4, 5, 6}) + "\n");
  dir.Write("c13data/b-glc.dat", TerminalLine({11, 2, 3, 4, 5, 6}) + "\n");
  dir.Write("c13data/A-GAL.DAT", TerminalLine({21, 2, 3, 4, 5, 6}) + "\n");
  dir.Write("c13data/B-GLCN.DAT", TerminalLine({31, 2, 3, 4, 5, 6}) + "\n");
  dir.Write("c13data/C-GRO.DAT", TerminalLine({41, 2, 3}) + "\n");
  dir.Write("c13data/C-ACE.DAT", TerminalLine({51, 2, 3, 4}) + "\n");
  const tTask task = dir.Task({{"Glc", kAnomericUnknown},
                               {"Gal", kAnomericAlpha},
                               {"GlcN", kAnomericBeta},
                               {"Gro", kAnomericNone},
                               {"P", kAnomericNone},
                               {"Ace", kAnomericUnknown},
                               {"Glc", kAnomericAlpha}});
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(Read(dir, task, table, output)) << output;
  EXPECT_EQ(output, "");
  const struct {
    unsigned residue;
    int alpha, beta;
  } expected[] = {{1, 1, 11}, {2, 21, -1}, {3, -1, 31}, {4, 41, -1},
                  {5, -1, -1}, {6, 51, -1}, {7, 1, -1}};
  for (const auto& e : expected) {
    EXPECT_EQ(TerminalC1(table, e.residue, 0), e.alpha) << e.residue;
    EXPECT_EQ(TerminalC1(table, e.residue, 1), e.beta) << e.residue;
    EXPECT_EQ(table.Entry(e.residue, 0).NameIndex, task.Residues[e.residue].NameIndex);
    EXPECT_EQ(table.Entry(e.residue, 1).NameIndex, task.Residues[e.residue].NameIndex);
  }
  EXPECT_EQ(table.Entry(5, 0).NameIndex, 0);
}

TEST(ShiftDatabaseTest, EveryAcceptedLineIsFoundByItsSlotAndDescriptors) {
  DatabaseDir dir;
  const unsigned beta_same_axial_hydroxy = DescriptorCell(0, 1, 0, kC2ProtonAxial, kC2Hydroxy, 0);
  const unsigned alpha_other_eq_amino_c = DescriptorCell(0, 0, 1, 0, kC2Amino, kC1Catt);
  const unsigned phosphate = DescriptorCell(3, 0, 0, kC2ProtonOpenChain, kC2Deoxy, kC1Phosphate);
  const unsigned alditol_open = DescriptorCell(2, 0, 0, kC2ProtonOpenChain, kC2Hydroxy, kC1Aatt);
  const unsigned furanose = DescriptorCell(1, 1, 0, kC2ProtonAxial, kC2Hydroxy, 0);
  dir.Write("c13data/A-GLC.DAT",
            "; alpha glucose\n"
            "\n" +
                ShiftLine("bS(2o,2a,DD,n)3", "xX(2x,2x,XX,x)0", 15, 0, {1, 2, 3, 4, 5, 6}) +
                "   ; replaced below\n" +
                TerminalLine(kHexose) + "\n" +
                ShiftLine("bs(2X,2A,Dx,N)3", "zz(2z,2z,zz,z)0", 17, 0, {10, 2, 3, 4, 5, 6}) +
                "\n" +
                ShiftLine("bS(2o,2a,DD,n)3", "aS(2n,2e,DL,c)5", 15, 255, kHexose) + "\n" +
                ShiftLine("cP(2d,2c,DD,a)2", "cA(2o,2x,DD,a)4", 0, 1, kHexose) + "\n" +
                ShiftLine("bF(2o,2a,DD,n)6", "xX(2x,2x,XX,x)0", 3, 0, kHexose));
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(Read(dir, dir.Task({{"Glc", kAnomericAlpha}}), table, output)) << output;
  const tShiftEntry& entry = table.Entry(1, 0);

  ASSERT_NE(entry.Terminal(), nullptr);
  EXPECT_EQ(entry.Terminal()->Shifts[0], 1015);
  EXPECT_EQ(entry.Terminal()->Shifts[5], 619);

  const realdata1e* mono = entry.Mono(SubstitutionCode(3, 0), beta_same_axial_hydroxy);
  ASSERT_NE(mono, nullptr);
  EXPECT_EQ(mono->C1Effect, 17);
  EXPECT_EQ(mono->Shifts[0], 10);
  EXPECT_EQ(entry.Mono(SubstitutionCode(2, 0), beta_same_axial_hydroxy), nullptr);

  const realdata2e* pair = entry.Di(4, beta_same_axial_hydroxy, alpha_other_eq_amino_c);
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->C1Effects, 15 + 255 * 256);
  EXPECT_EQ(pair->Shifts[2], 832);
  EXPECT_EQ(entry.Di(4, alpha_other_eq_amino_c, beta_same_axial_hydroxy), nullptr);

  // Type P forces C1 peculiarity 3 and anomeric alpha; A has no anomeric form either.
  const realdata2e* with_phosphate = entry.Di(SubstitutionCode(2, 4), phosphate, alditol_open);
  ASSERT_NE(with_phosphate, nullptr);
  EXPECT_EQ(with_phosphate->C1Effects, 256);

  ASSERT_NE(entry.Mono(SubstitutionCode(6, 0), furanose), nullptr);
}

TEST(ShiftDatabaseTest, LastLineWithoutLineBreakCounts) {
  DatabaseDir dir;
  dir.Write("c13data/C-GRO.DAT", "; glycerol\n" + TerminalLine({633, 722, 633}));
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(Read(dir, dir.Task({{"Gro", kAnomericNone}}), table, output)) << output;
  EXPECT_EQ(TerminalC1(table, 1, 0), 633);
}

TEST(ShiftDatabaseTest, MalformedLinesStopTheRunNamingFileAndLine) {
  const std::string good = ShiftLine("aS(2o,2a,DD,n)3", "bS(2o,2e,DL,c)4", 15, 20, kHexose);
  const std::string tail = ", file c13data/A-GLC.DAT, line 3";
  std::string blank_shifts = good.substr(0, 42);
  for (int k = 1; k <= 6; ++k) blank_shifts += "    . ";
  const struct {
    std::string line;
    std::string message;
  } cases[] = {
      {good.substr(0, 47), "The file c13data/A-GLC.DAT is corrupted, line 3"},
      {good.substr(0, 77), "The file c13data/A-GLC.DAT is corrupted, line 3"},
      {WithColumns(good, 43, "1"), "Wrong chemical shifts dataset" + tail},
      {WithColumns(good, 53, ","), "Wrong chemical shifts dataset" + tail},
      {WithColumns(good, 3, "["), "Wrong qualifier prefix" + tail},
      {WithColumns(good, 16, "|"), "Wrong qualifier prefix" + tail},
      {WithColumns(good, 30, "]"), "Wrong qualifier prefix" + tail},
      {WithColumns(good, 33, "="), "Wrong qualifier prefix" + tail},
      {WithColumns(good, 36, ","), "Wrong effects dataset" + tail},
      {WithColumns(good, 41, ","), "Wrong effects dataset" + tail},
      {WithColumns(good, 15, "x"), "Could not retrieve the substitution position" + tail},
      {WithColumns(good, 31, "?"), "Could not retrieve the substitution position" + tail},
      {WithColumns(good, 15, "1"), "Substitution position cannot be 1" + tail},
      {WithColumns(good, 31, "1"), "Substitution position cannot be 1" + tail},
      {WithColumns(good, 15, "4"), "Two substitution positions should not be the same" + tail},
      {WithColumns(WithColumns(good, 15, "4"), 31, "2"),
       "The lower substitution position should go prior to the higher" + tail},
      {WithColumns(good, 31, "7"),
       "The substitution position is beyond the bound of 2..6 allowed for Glc" + tail},
      {WithColumns(WithColumns(good, 15, "9"), 31, "0"),
       "The substitution position is beyond the bound of 2..6 allowed for Glc" + tail},
      {WithColumns(good, 13, "p"), "Could not determine the first substituent C1 peculiarities" + tail},
      {WithColumns(good, 29, "x"),
       "Could not determine the second substituent C1 peculiarities" + tail},
      {WithColumns(good, 2, "Q"),
       "Could not determine the type of the first substituent" + tail + "\n" +
           "It should be one of: S(pyranose),F(furanose),A(alditol),P(phosphate),N(not a sugar)."},
      {WithColumns(good, 18, "x"),
       "Could not determine the type of the second substituent" + tail + "\n" +
           "It should be one of: S(pyranose),F(furanose),A(alditol),P(phosphate),N(not a sugar)."},
      {WithColumns(good, 1, "x"), "The anomeric configuration of the first substituent of S or F "
                                  "type should be either a(alpha) or b(beta)" + tail},
      {WithColumns(good, 17, "c"), "The anomeric configuration of the second substituent of S or F "
                                   "type should be either a(alpha) or b(beta)" + tail},
      {WithColumns(good, 11, "Q"), "The absolute configuration of the first substituent should be "
                                   "either DD(same) or DL(different)" + tail},
      {WithColumns(good, 27, "E"), "The absolute configuration of the second substituent should be "
                                   "either DD(same) or DL(different)" + tail},
      {WithColumns(good, 5, "H"), "The type of substituent at C2 of the first substituent should "
                                  "be either O(hydroxy) or N(amino) or D(desoxy)" + tail},
      {WithColumns(good, 21, "a"), "The type of substituent at C2 of the second substituent should "
                                   "be either O(hydroxy) or N(amino) or D(desoxy)" + tail},
      {WithColumns(good, 8, "o"), "The orientation of proton at C2 of the first substituent should "
                                  "be either a(axial) or e(equatorial) or c(open chain)" + tail},
      {WithColumns(good, 24, "d"), "The orientation of proton at C2 of the second substituent "
                                   "should be either a(axial) or e(equatorial) or c(open chain)" +
                                       tail},
      {WithColumns(good, 35, "x"),
       "Could not interpret the first C1 effect in c13data/A-GLC.DAT, line 3"},
      {WithColumns(good, 39, "1 "),
       "Could not interpret the second C1 effect in c13data/A-GLC.DAT, line 3"},
      {WithColumns(good, 34, "-0.5"),
       "The first effect on C1\" is beyond the bounds of 0..+25.5" + tail},
      {WithColumns(good, 39, "25.6"),
       "The second effect on C1\" is beyond the bounds of 0..+25.5" + tail},
      {WithColumns(good, 45, "x"),
       "Could not interpret the chemical shift for C1 in c13data/A-GLC.DAT, line 3"},
      {WithColumns(good, 55, "  -1.5"), "The chemical shift for C3 is below zero" + tail},
      {blank_shifts, "The line 3 in c13data/A-GLC.DAT contains no spectral data"},
      {good + "  11.0",
       "The number of C13 chemical shifts specified in c13data/A-GLC.DAT (line 3) differs from 6, "
       "which should be in Glc"},
      {good.substr(0, 72) + "    . ",
       "The number of C13 chemical shifts specified in c13data/A-GLC.DAT (line 3) differs from 6, "
       "which should be in Glc"},
      {WithColumns(good, 15, "0"),
       "Internal error SC4: Monosubstitution should be indicated in the first parameter"},
  };
  for (const auto& c : cases) {
    DatabaseDir dir;
    dir.Write("c13data/A-GLC.DAT", TerminalLine(kHexose) + "\n; comment\n" + c.line + "\n");
    tShiftTable table;
    std::string output;
    EXPECT_FALSE(Read(dir, dir.Task({{"Glc", kAnomericAlpha}}), table, output)) << c.line;
    EXPECT_EQ(output, Fatal(c.message)) << c.line;
  }
}

TEST(ShiftDatabaseTest, FilesWithoutDataOrWithoutTheTerminalResidueAreRefused) {
  const struct {
    std::string content;
    std::string message;
  } cases[] = {
      {"; nothing here\n\n   \n", "The file c13data/A-GLC.DAT contains no spectral data"},
      {ShiftLine("aS(2o,2a,DD,n)3", "xX(2x,2x,XX,x)0", 0, 0, kHexose) + "\n",
       "Error interpreting file c13data/A-GLC.DAT: missing data for the terminal residue: "
       "xX(2x,2x,XX,x)0;xX(2x,2x,XX,x)0-> 0.0  0.0 ..."},
  };
  for (const auto& c : cases) {
    DatabaseDir dir;
    dir.Write("c13data/A-GLC.DAT", c.content);
    tShiftTable table;
    std::string output;
    EXPECT_FALSE(Read(dir, dir.Task({{"Glc", kAnomericAlpha}}), table, output));
    EXPECT_EQ(output, Fatal(c.message));
  }
}

TEST(ShiftDatabaseTest, AFileThatCannotBeOpenedIsAskedAboutAndAbortEndsTheReading) {
  const struct {
    bool directory;
    const char* error;
  } cases[] = {{false, "file not found"}, {true, "is a directory"}};
  for (const auto& c : cases) {
    DatabaseDir dir;
    if (c.directory) std::filesystem::create_directories(dir.Path() + "/c13data/A-GLC.DAT");
    tShiftTable table;
    KeyInput keys("a");
    CaptureStdout();
    EXPECT_FALSE(ReadShiftDatabase(dir.Residues(), dir.Task({{"Glc", kAnomericAlpha}}), table));
    EXPECT_EQ(GetCapturedStdout(), std::string("\nCould not open c13data/A-GLC.DAT for reading: ") +
                                       c.error + "\nRetry or Abort?A\n");
  }
}

}  // namespace
}  // namespace glycomb
