#include "databases/shift_database.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "databases/database_files.hpp"

namespace glycomb {
namespace {

using testing::DatabaseDir;
using testing::Fatal;
using testing::ShiftLine;
using testing::TerminalLine;
using testing::WithColumns;

const std::vector<int> kHexose = {1015, 721, 832, 699, 768, 619};

// The terminal C1 shift of an entry, or -1 when the entry holds no data.
int TerminalC1(const tShiftTable& table, unsigned residue, unsigned form) {
  const realdata1e* terminal = table.Entry(residue, form).Terminal();
  return terminal == nullptr ? -1 : terminal->Shifts[0];
}

TEST(ShiftDatabaseTest, ReadsExactlyTheFilesTheCompositionNeeds) {
  DatabaseDir dir;
  // Each file's terminal C1 shift tells which file was read. Opening a file that does not exist
  // would ask Retry or Abort and fail on the empty key input.
  dir.Write("c13data/A-GLC.DAT", TerminalLine({1, 2, 3, 4, 5, 6}));
  dir.Write("c13data/b-glc.dat", TerminalLine({11, 2, 3, 4, 5, 6}));
  dir.Write("c13data/A-GAL.DAT", TerminalLine({21, 2, 3, 4, 5, 6}));
  dir.Write("c13data/B-GLCN.DAT", TerminalLine({31, 2, 3, 4, 5, 6}));
  dir.Write("c13data/C-GRO.DAT", TerminalLine({41, 2, 3}));
  dir.Write("c13data/C-ACE.DAT", TerminalLine({51, 2, 3, 4}));
  const tTask task = dir.Task({{"Glc", kAnomericUnknown},
                               {"Gal", kAnomericAlpha},
                               {"GlcN", kAnomericBeta},
                               {"Gro", kAnomericNone},
                               {"P", kAnomericNone},
                               {"Ace", kAnomericUnknown},
                               {"Glc", kAnomericAlpha}});
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(dir.Run(ReadShiftDatabase, task, table, output)) << output;
  EXPECT_EQ(output, "");
  const int expected[][2] = {{1, 11}, {21, -1}, {-1, 31}, {41, -1}, {-1, -1}, {51, -1}, {1, -1}};
  for (unsigned i = 1; i <= 7; ++i) {
    for (unsigned form = 0; form < 2; ++form) {
      EXPECT_EQ(TerminalC1(table, i, form), expected[i - 1][form]) << i << " " << form;
      EXPECT_EQ(table.Entry(i, form).NameIndex, task.Residues[i].NameIndex);
    }
  }
  EXPECT_EQ(ShiftFileName(dir.Residues()[6], 1), "c13data/B-ARAF.DAT");
}

TEST(ShiftDatabaseTest, EveryAcceptedLineIsFoundByItsSlotAndDescriptors) {
  DatabaseDir dir;
  const unsigned beta_axial_hydroxy = DescriptorCell(0, 1, 0, kC2ProtonAxial, kC2Hydroxy, 0);
  const unsigned alpha_other_amino_c = DescriptorCell(0, 0, 1, 0, kC2Amino, kC1Catt);
  const unsigned phosphate = DescriptorCell(3, 0, 0, kC2ProtonOpenChain, kC2Deoxy, kC1Phosphate);
  const unsigned alditol = DescriptorCell(2, 0, 0, kC2ProtonOpenChain, kC2Hydroxy, kC1Aatt);
  const unsigned furanose = DescriptorCell(1, 1, 0, kC2ProtonAxial, kC2Hydroxy, 0);
  dir.Write("c13data/A-GLC.DAT",
            "; alpha glucose\n\n" +
                ShiftLine("bS(2o,2a,DD,n)3", "xX(2x,2x,XX,x)0", 15, 0, {1, 2, 3, 4, 5, 6}) +
                "   ; replaced below\n" + TerminalLine(kHexose) + "\n" +
                ShiftLine("bs(2X,2A,Dx,N)3", "zz(2z,2z,zz,z)0", 17, 0, {10, 2, 3, 4, 5, 6}) + "\n" +
                ShiftLine("bS(2o,2a,DD,n)3", "aS(2n,2e,DL,c)5", 15, 255, kHexose) + "\n" +
                ShiftLine("cP(2d,2c,DD,a)2", "cA(2o,2x,DD,a)4", 0, 1, kHexose) + "\n" +
                ShiftLine("bF(2o,2a,DD,n)6", "xX(2x,2x,XX,x)0", 3, 0, kHexose));
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(dir.Run(ReadShiftDatabase, dir.Task({{"Glc", kAnomericAlpha}}), table, output))
      << output;
  const tShiftEntry& entry = table.Entry(1, 0);
  ASSERT_NE(entry.Terminal(), nullptr);
  EXPECT_EQ(entry.Terminal()->Shifts[5], 619);
  const realdata1e* mono = entry.Mono(1, beta_axial_hydroxy);  // position 3
  ASSERT_NE(mono, nullptr);
  EXPECT_EQ(mono->C1Effect, 17);
  EXPECT_EQ(mono->Shifts[0], 10);
  EXPECT_EQ(entry.Mono(0, beta_axial_hydroxy), nullptr);
  const realdata2e* pair = entry.Di(4, beta_axial_hydroxy, alpha_other_amino_c);  // 3 and 5
  ASSERT_NE(pair, nullptr);
  EXPECT_EQ(pair->C1Effects, 15 + 255 * 256);
  EXPECT_EQ(pair->Shifts[2], 832);
  EXPECT_EQ(entry.Di(4, alpha_other_amino_c, beta_axial_hydroxy), nullptr);
  // Type P forces C1 peculiarity 3; types P and A have no anomeric form.
  ASSERT_NE(entry.Di(SubstitutionCode(2, 4), phosphate, alditol), nullptr);
  EXPECT_EQ(entry.Di(SubstitutionCode(2, 4), phosphate, alditol)->C1Effects, 256);
  EXPECT_NE(entry.Mono(SubstitutionCode(6, 0), furanose), nullptr);
}

TEST(ShiftDatabaseTest, MalformedFilesStopTheRunNamingFileAndLine) {
  const std::string good = ShiftLine("aS(2o,2a,DD,n)3", "bS(2o,2e,DL,c)4", 15, 20, kHexose);
  const std::string tail = ", file c13data/A-GLC.DAT, line 3";
  const std::string type_help =
      "\nIt should be one of: S(pyranose),F(furanose),A(alditol),P(phosphate),N(not a sugar).";
  const std::string count =
      "The number of C13 chemical shifts specified in c13data/A-GLC.DAT (line 3) differs from 6, "
      "which should be in Glc";
  std::string blank_shifts = good.substr(0, 42);
  for (int k = 1; k <= 6; ++k) blank_shifts += "    . ";
  struct Case {
    std::string line, message;
  };
  std::vector<Case> cases = {
      {good.substr(0, 47), "The file c13data/A-GLC.DAT is corrupted, line 3"},
      {good.substr(0, 77), "The file c13data/A-GLC.DAT is corrupted, line 3"},
      {WithColumns(good, 43, "1"), "Wrong chemical shifts dataset" + tail},
      {WithColumns(good, 53, ","), "Wrong chemical shifts dataset" + tail},
      {WithColumns(good, 3, "["), "Wrong qualifier prefix" + tail},
      {WithColumns(good, 16, "|"), "Wrong qualifier prefix" + tail},
      {WithColumns(good, 33, "="), "Wrong qualifier prefix" + tail},
      {WithColumns(good, 36, ","), "Wrong effects dataset" + tail},
      {WithColumns(good, 41, ","), "Wrong effects dataset" + tail},
      {WithColumns(good, 15, "x"), "Could not retrieve the substitution position" + tail},
      {WithColumns(good, 31, "1"), "Substitution position cannot be 1" + tail},
      {WithColumns(good, 15, "4"), "Two substitution positions should not be the same" + tail},
      {WithColumns(WithColumns(good, 15, "4"), 31, "2"),
       "The lower substitution position should go prior to the higher" + tail},
      {WithColumns(good, 31, "7"),
       "The substitution position is beyond the bound of 2..6 allowed for Glc" + tail},
      {WithColumns(good, 2, "Q"),
       "Could not determine the type of the first substituent" + tail + type_help},
      {WithColumns(good, 18, "x"),
       "Could not determine the type of the second substituent" + tail + type_help},
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
      {good + "  11.0", count},
      {good.substr(0, 72) + "    . ", count},
      {WithColumns(good, 15, "0"),
       "Internal error SC4: Monosubstitution should be indicated in the first parameter"},
  };
  // The descriptor letters of either substituent; those of the second lie 16 columns further.
  const struct {
    std::size_t column;
    const char* bad;
    std::string before, after;
  } letters[] = {
      {13, "p", "Could not determine the ", " substituent C1 peculiarities"},
      {1, "x", "The anomeric configuration of the ",
       " substituent of S or F type should be either a(alpha) or b(beta)"},
      {11, "Q", "The absolute configuration of the ",
       " substituent should be either DD(same) or DL(different)"},
      {5, "H", "The type of substituent at C2 of the ",
       " substituent should be either O(hydroxy) or N(amino) or D(desoxy)"},
      {8, "o", "The orientation of proton at C2 of the ",
       " substituent should be either a(axial) or e(equatorial) or c(open chain)"},
  };
  for (const auto& l : letters) {
    cases.push_back({WithColumns(good, l.column, l.bad), l.before + "first" + l.after + tail});
    cases.push_back(
        {WithColumns(good, l.column + 16, l.bad), l.before + "second" + l.after + tail});
  }
  cases.push_back({"", "The file c13data/A-GLC.DAT contains no spectral data"});
  cases.push_back({ShiftLine("aS(2o,2a,DD,n)3", "xX(2x,2x,XX,x)0", 0, 0, kHexose),
                   "Error interpreting file c13data/A-GLC.DAT: missing data for the terminal "
                   "residue: xX(2x,2x,XX,x)0;xX(2x,2x,XX,x)0-> 0.0  0.0 ..."});
  for (std::size_t i = 0; i < cases.size(); ++i) {
    DatabaseDir dir;
    // The last two cases are whole files; the others follow a terminal line and a comment.
    const bool whole_file = i + 2 >= cases.size();
    dir.Write("c13data/A-GLC.DAT",
              whole_file ? cases[i].line : TerminalLine(kHexose) + "\n;\n" + cases[i].line);
    tShiftTable table;
    std::string output;
    EXPECT_FALSE(dir.Run(ReadShiftDatabase, dir.Task({{"Glc", kAnomericAlpha}}), table, output));
    EXPECT_EQ(output, Fatal(cases[i].message)) << cases[i].line;
  }
}

// A directory opens but cannot be read; Abort ends the reading.
TEST(ShiftDatabaseTest, AFileThatCannotBeOpenedIsAskedAbout) {
  DatabaseDir dir;
  std::filesystem::create_directories(dir.Path() + "/c13data/A-GLC.DAT");
  const tTask task = dir.Task({{"Glc", kAnomericAlpha}});
  tShiftTable table;
  testing::KeyInput keys("a");
  const auto read = [&] { EXPECT_FALSE(ReadShiftDatabase(dir.Residues(), task.Residues, table)); };
  EXPECT_EQ(testing::Captured(read),
            "\nCould not open c13data/A-GLC.DAT for reading: is a directory\nRetry or Abort?A\n");
}

}  // namespace
}  // namespace glycomb
