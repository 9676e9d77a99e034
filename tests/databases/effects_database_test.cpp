#include "databases/effects_database.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string>
#include <vector>

#include "databases/database_files.hpp"

namespace glycomb {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using testing::DatabaseDir;
using testing::EffectLine;
using testing::Fatal;
using testing::KeyInput;
using testing::PhosphateLine;
using testing::WithColumns;

// "noa DaS": normal C1, hydroxy at C2, axial H2, same absolute configuration, alpha pyranose.
const unsigned kAlphaPyranose = DescriptorCell(0, 0, 0, kC2ProtonAxial, kC2Hydroxy, kC1Normal);
// "noa DbS", the same substituent in its beta form.
const unsigned kBetaPyranose = DescriptorCell(0, 1, 0, kC2ProtonAxial, kC2Hydroxy, kC1Normal);

const std::string kPhosphateBlock = "#P\n" + PhosphateLine("noaXXaS1", 5, -3) + "\n" +
                                    PhosphateLine("noaXXbS1", 7, -9) + "\n" +
                                    PhosphateLine("nnaXXaS1", 1, 2) + "\n" +
                                    PhosphateLine("nnaXXbS1", 3, 4) + "\n" +
                                    PhosphateLine("nooXXxA1", 0, 0) + "\n" +
                                    PhosphateLine("noaXXxN1", 0, 0) + "\n#\n";

bool ReadEffects(const DatabaseDir& dir, const tTask& task, tShiftTable& table,
                 std::string& output) {
  table.Create(task.ResidueCount);
  KeyInput keys("");
  CaptureStdout();
  const bool read = ReadEffectsDatabase(dir.Residues(), task, table);
  output = GetCapturedStdout();
  return read;
}

std::vector<int> Values(const realdata1e* set, unsigned count) {
  if (set == nullptr) return {};
  return std::vector<int>(set->Shifts.begin(), set->Shifts.begin() + count);
}

TEST(EffectCodeTest, LettersInFrontOfTypeAndPosition) {
  const struct {
    std::uint8_t type, c1, group, proton, anomeric;
    const char* absolute;
    std::uint8_t position;
    const char* code;
  } cases[] = {
      {0, 0, 1, 1, 1, "DD", 3, "noaDDbS3"},
      {0, 0, 1, 1, 0, "XX", 1, "noaXXaS1"},
      {1, 1, 0, 0, 0, "DL", 9, "cneDLaF9"},
      {2, 2, 2, 2, 1, "DD", 2, "adoDDxA2"},
      {3, 0, 1, 2, 0, "DL", 4, "nooDLxN4"},
      {3, 3, 0, 0, 0, "DD", 6, "nneDDxP6"},
      {0, 3, 1, 1, 1, "DDD", 2, "noaDDbP2"},
      {0, 0, 1, 1, 0, "", 12, "noaaS12"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EffectCode(c.type, c.c1, c.group, c.proton, c.anomeric, c.absolute, c.position),
              c.code);
  }
  EXPECT_THROW(EffectCode(4, 0, 0, 0, 0, "DD", 2), ECheckFailed);
  EXPECT_THROW(EffectCode(0, 0, 0, 0, 2, "DD", 2), ECheckFailed);
}

TEST(EffectsDatabaseTest, ClassBlockFillsTheOSubstitutablePositionsOfEachForm) {
  DatabaseDir dir;
  dir.Write("EFFECTS.PS",
            "; glycosylation effects\n"
            "#gal\n" +
                EffectLine("noa DbS2", ' ', 9, {9, 9, 9, 9, 9, 9}) + "\n" +
                "#glc   ; the glucose class\n" +
                EffectLine("noa DaS2", ' ', 5, {1, -2, 3, -4, 5, -6}) + "\n" +
                EffectLine("noa DaS3", 'a', 6, {11, 12, 13, 14, 15, 16}) + "\n" +
                EffectLine("noa DaS3", 'b', 7, {21, 22, 23, 24, 25, 26}) + "\n" +
                EffectLine("noa DaS5", ' ', 8, {31, 32, 33, 34, 35, 36}) + "\n" +
                EffectLine("NOA xbs4", ' ', 255, {1, 1, 1, 1, 1, 1}) + "\n" + kPhosphateBlock);
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(dir, dir.Task({{"Glc", kAnomericUnknown}}), table, output)) << output;
  EXPECT_EQ(output, "Warning: The #Glc data block is missing from EFFECTS.PS. Taking data from #glc \n"
                    "Warning: The #Glc data block is missing from EFFECTS.PS. Taking data from #glc \n");
  for (unsigned form = 0; form < 2; ++form) {
    const tShiftEntry& entry = table.Entry(1, form);
    ASSERT_NE(entry.Effect(2, kAlphaPyranose), nullptr);
    EXPECT_EQ(entry.Effect(2, kAlphaPyranose)->C1Effect, 5);
    EXPECT_EQ(Values(entry.Effect(2, kAlphaPyranose), 6), (std::vector<int>{1, -2, 3, -4, 5, -6}));
    ASSERT_NE(entry.Effect(3, kAlphaPyranose), nullptr);
    EXPECT_EQ(entry.Effect(3, kAlphaPyranose)->C1Effect, form == 0 ? 6 : 7);
    EXPECT_EQ(entry.Effect(5, kAlphaPyranose), nullptr);  // C5 takes no O-substituent
    EXPECT_EQ(entry.Effect(2, kBetaPyranose), nullptr);   // only in the #gal block
    EXPECT_NE(entry.Effect(4, kBetaPyranose), nullptr);   // upper-case letters, X = same
    EXPECT_EQ(entry.Effect(4, kAlphaPyranose), nullptr);
  }
  EXPECT_EQ(table.Entry(1, 0).PhosphateC1Effect, 5);
  EXPECT_EQ(table.Entry(1, 0).PhosphateC2Effect, -3);
  EXPECT_EQ(table.Entry(1, 1).PhosphateC1Effect, 7);
  EXPECT_EQ(table.Entry(1, 1).PhosphateC2Effect, -9);
}

TEST(EffectsDatabaseTest, LinesOfTheOtherFormAreNeitherUsedNorChecked) {
  DatabaseDir dir;
  dir.Write("EFFECTS.PS", "#glc\n" + EffectLine("noa DaQ2", 'b', 5, {1, 2, 3, 4, 5, 6}) + "\n" +
                              EffectLine("noa DaS3", 'b', 5, {1, 2, 3, 4, 5, 6}) + "\n" +
                              kPhosphateBlock);
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(dir, dir.Task({{"glc", kAnomericAlpha}}), table, output)) << output;
  EXPECT_EQ(output, "");  // a residue named as its class reads no name block
  EXPECT_EQ(table.Entry(1, 0).Effect(3, kAlphaPyranose), nullptr);
}

TEST(EffectsDatabaseTest, NameBlockRefinesAminoBlockWhichRefinesClassBlockCellByCell) {
  DatabaseDir dir;
  const std::vector<int> name_values = {31, 32, 33, 34, 35, 36};
  const std::vector<int> class_values = {11, 12, 13, 14, 15, 16};
  const std::vector<int> amino_values = {21, 22, 23, 24, 25, 26};
  // The blocks stand in any order: the file is rewound before every block search.
  dir.Write("EFFECTS.PS", kPhosphateBlock + "#GlcN\n" + EffectLine("noa DaS4", ' ', 3, name_values) +
                              "\n#glc\n" + EffectLine("noa DaS3", ' ', 1, class_values) + "\n" +
                              EffectLine("noa DaS4", ' ', 1, class_values) + "\n" +
                              EffectLine("noa DaS6", ' ', 1, class_values) + "\n" +
                              EffectLine("noa DbS3", ' ', 1, class_values) + "\n" + "#glcn\n" +
                              EffectLine("noa DaS3", ' ', 2, amino_values) + "\n" +
                              EffectLine("noa DaS4", ' ', 2, amino_values) + "\n#\n");
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(dir, dir.Task({{"GlcN", kAnomericAlpha}}), table, output)) << output;
  EXPECT_EQ(output, "");
  const tShiftEntry& entry = table.Entry(1, 0);
  const struct {
    unsigned position, cell;
    int c1_effect;
    std::vector<int> values;
  } cells[] = {
      {3, kAlphaPyranose, 2, amino_values},
      {4, kAlphaPyranose, 3, name_values},
      {6, kAlphaPyranose, 1, class_values},
      {3, kBetaPyranose, 1, class_values},
  };
  for (const auto& c : cells) {
    ASSERT_NE(entry.Effect(c.position, c.cell), nullptr) << c.position;
    EXPECT_EQ(entry.Effect(c.position, c.cell)->C1Effect, c.c1_effect) << c.position;
    EXPECT_EQ(Values(entry.Effect(c.position, c.cell), 6), c.values) << c.position;
  }
  EXPECT_EQ(entry.PhosphateC1Effect, 1);
  EXPECT_EQ(entry.PhosphateC2Effect, 2);
}

TEST(EffectsDatabaseTest, MissingAminoOrNameBlocksAreWarningsAndTheClassDataStand) {
  const std::string content = "#glc\n" + EffectLine("noa DaS3", ' ', 1, {1, 2, 3, 4, 5, 6}) +
                              "\n#gal\n" + EffectLine("noa DaS3", ' ', 2, {6, 5, 4, 3, 2, 1}) +
                              "\n" + kPhosphateBlock;
  const std::string amino_warning =
      "Warning: The #glcn data block is missing from EFFECTS.PS. Taking data from #glc\n";
  const std::string name_warning =
      "Warning: The #GlcN data block is missing from EFFECTS.PS. Taking data from #glcn\n";
  const struct {
    const char* residue;
    std::uint8_t anomeric;
    std::string output;
    int c1_effect;
  } cases[] = {
      {"GlcN", kAnomericBeta, amino_warning + name_warning, 1},
      {"GlcN", kAnomericUnknown, amino_warning + name_warning + amino_warning + name_warning, 1},
      {"Gal", kAnomericAlpha,
       "Warning: The #Gal data block is missing from EFFECTS.PS. Taking data from #gal \n", 2},
      {"glc", kAnomericAlpha, "", 1},
  };
  for (const auto& c : cases) {
    DatabaseDir dir;
    dir.Write("EFFECTS.PS", content);
    tShiftTable table;
    std::string output;
    ASSERT_TRUE(ReadEffects(dir, dir.Task({{c.residue, c.anomeric}}), table, output)) << output;
    EXPECT_EQ(output, c.output) << c.residue;
    const unsigned form = c.anomeric == kAnomericBeta ? 1 : 0;
    ASSERT_NE(table.Entry(1, form).Effect(3, kAlphaPyranose), nullptr) << c.residue;
    EXPECT_EQ(table.Entry(1, form).Effect(3, kAlphaPyranose)->C1Effect, c.c1_effect) << c.residue;
  }
}

TEST(EffectsDatabaseTest, NonBlockLinesApplyAlphaAndBetaEffectsAtEveryPosition) {
  DatabaseDir dir;
  // Ace has four carbons; positions 2 and 4 take O-substituents. Column 8 is not read here.
  dir.Write("EFFECTS.PS", "#non\n" + EffectLine("noa DaS?", ' ', 4, {-25, 7}) + "\n" +
                              EffectLine("noa DbQx", 'b', 0, {1, 1}) + "\n#Ace\n" +
                              EffectLine("noa DbS4", ' ', 9, {1, 2, 3, 4}) + "\n" + kPhosphateBlock);
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(dir, dir.Task({{"Ace", kAnomericNone}}), table, output)) << output;
  EXPECT_EQ(output, "");
  const tShiftEntry& entry = table.Entry(1, 0);
  ASSERT_NE(entry.Effect(2, kAlphaPyranose), nullptr);
  EXPECT_EQ(entry.Effect(2, kAlphaPyranose)->C1Effect, 4);
  EXPECT_EQ(Values(entry.Effect(2, kAlphaPyranose), 4), (std::vector<int>{7, -25, 7, 0}));
  EXPECT_EQ(entry.Effect(3, kAlphaPyranose), nullptr);
  EXPECT_EQ(Values(entry.Effect(4, kAlphaPyranose), 4), (std::vector<int>{0, 0, 7, -25}));
  // A name block of a non-sugar is an ordinary block.
  EXPECT_EQ(Values(entry.Effect(4, kBetaPyranose), 4), (std::vector<int>{1, 2, 3, 4}));
  EXPECT_EQ(entry.Effect(2, kBetaPyranose), nullptr);
}

TEST(EffectsDatabaseTest, PhosphateKeysAndTheirAbsenceForNLinkedResidues) {
  DatabaseDir dir;
  // The closing "#" may be the very last line without a line break.
  dir.Write("EFFECTS.PS", "#non\n#glc\n#P\n" + PhosphateLine("noaXXbS1", 1, 1) + "\n" +
                              PhosphateLine("noaXXaS1", -5, 127) + "\n#");
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(dir, dir.Task({{"Ala", kAnomericNone}, {"glc", kAnomericAlpha}}), table,
                          output))
      << output;
  EXPECT_EQ(output,
            "Warning: The #Ala data block is missing from EFFECTS.PS. Taking data from #nonn\n");
  EXPECT_EQ(table.Entry(1, 0).PhosphateC1Effect, 0);
  EXPECT_EQ(table.Entry(2, 0).PhosphateC1Effect, -5);
  EXPECT_EQ(table.Entry(2, 0).PhosphateC2Effect, 127);
}

TEST(EffectsDatabaseTest, MalformedDataStopTheRunNamingTheLine) {
  const std::string good = EffectLine("noa DaS3", ' ', 5, {10, -20, 30, -40, 50, -60});
  const std::string tail = ", file EFFECTS.PS, line 2";
  const std::string unexpected_end =
      "Unexpected end of file EFFECTS.PS. It should be ended with an empty block (`#`)";
  std::string blank_values = good.substr(0, 18);
  for (int k = 1; k <= 6; ++k) blank_values += "   . ";
  const std::string non_good = EffectLine("noa DaS ", ' ', 5, {-12, 12});
  const auto glc = [&](const std::string& line) { return "#glc\n" + line + "\n" + kPhosphateBlock; };
  const auto non = [&](const std::string& line) { return "#non\n" + line + "\n" + kPhosphateBlock; };
  const auto phosphate = [](const std::string& line) { return "#glc\n#\n#P\n" + line + "\n#\n"; };
  const struct {
    const char* residue;
    std::string content;
    std::string message;
  } cases[] = {
      {"glc", glc(good.substr(0, 47)), "The file EFFECTS.PS is corrupted, line 2"},
      {"glc", glc(WithColumns(good, 27, ",")), "Wrong effects dataset" + tail},
      {"glc", glc(WithColumns(good, 10, "=")), "Wrong effect prefix" + tail},
      {"glc", glc(WithColumns(good, 11, "-")), "Wrong effect prefix" + tail},
      {"glc", glc(WithColumns(good, 18, "|")), "Wrong effect prefix" + tail},
      {"glc", glc(WithColumns(good, 15, ",")), "Wrong C1 effect" + tail},
      {"glc", glc(WithColumns(good, 9, "A")),
       "Wrong anomeric configuration of the substituted residue" + tail},
      {"glc", glc(WithColumns(good, 8, "x")),
       "Could not interpret substitution position in qualifier" + tail},
      {"glc", glc(WithColumns(good, 8, "7")),
       "The substitution position is beyond the bound of 2..6 allowed for glc" + tail},
      {"glc", glc(WithColumns(good, 8, "1")),
       "The substitution position is beyond the bound of 2..6 allowed for glc" + tail},
      {"glc", glc(WithColumns(good, 1, "x")),
       "Could not determine the substituent C1 peculiarities" + tail},
      {"glc", glc(WithColumns(good, 7, "Q")),
       "Could not determine the substituent type" + tail +
           "\nIt should be one of: S(pyranose),F(furanose),A(alditol),P(phosphate),N(not a sugar)."},
      {"glc", glc(WithColumns(good, 6, "c")),
       "The anomeric configuration of the substituent of S or F type should be either a(alpha) or "
       "b(beta)" + tail},
      {"glc", glc(WithColumns(good, 5, "Q")),
       "The substituent absolute configuration should be either DD(same) or DL(different)" + tail},
      {"glc", glc(WithColumns(good, 2, "Q")),
       "The type of group at C2 of the substituent should be either O(hydroxy) or N(amino) or "
       "D(desoxy)" + tail},
      {"glc", glc(WithColumns(good, 3, "c")),
       "The orientation of proton at C2 of the second substituent should be either a(axial) or "
       "e(equatorial) or o(open chain)" + tail},
      {"glc", glc(WithColumns(good, 14, "x")),
       "Could not interpret the C1\" effect in EFFECTS.PS, line 2"},
      {"glc", glc(WithColumns(good, 13, "-0.5")),
       "The effect on C1\" is beyond the bounds of 0..+25.5" + tail},
      {"glc", glc(WithColumns(good, 13, "25.6")),
       "The effect on C1\" is beyond the bounds of 0..+25.5" + tail},
      {"glc", glc(WithColumns(good, 26, "x")),
       "Could not interpret the effect for C2 in EFFECTS.PS, line 2"},
      {"glc", glc(blank_values), "The line 2 in EFFECTS.PS contains no spectral data"},
      {"glc", glc(good + "  1.0"),
       "The number of effects specified in EFFECTS.PS (line 2) differs from 6, which should be in "
       "glc"},
      {"glc", "#glc\n" + good, unexpected_end},
      {"glc", "#gal\n#P\n#\n", "The #glc data block is missing from EFFECTS.PS"},
      {"Gro", "#glc\n#P\n#\n",
       "The #ald3 (C3-alditols generally) data block is missing from EFFECTS.PS"},
      {"Araf", "#glc\n#P\n#\n",
       "The #fur5 (C5-furanoses generally) data block is missing from EFFECTS.PS"},
      {"Ace", "#glc\n#P\n#\n",
       "The #non (all unlisted residues generally) data block is missing from EFFECTS.PS"},
      {"glc", "#glc\n#\n",
       "The #P (phosphate) data block is missing from EFFECTS.PS. It should be the last block in "
       "the file."},
      {"glc", phosphate(PhosphateLine("noaXXbS1", 0, 0)),
       "The noaXXaS1 -> effect is missing from block #P of EFFECTS.PS"},
      {"glc", "#glc\n#\n#P\n" + PhosphateLine("noaXXbS1", 0, 0), unexpected_end},
      {"glc", phosphate(WithColumns(PhosphateLine("noaXXaS1", 5, 5), 14, "?")),
       "Could not interpret the C1\" effect in EFFECTS.PS, line 4"},
      {"glc", phosphate(PhosphateLine("noaXXaS1", 5, 5).substr(0, 19)),
       "Could not interpret the C2\" effect in EFFECTS.PS, line 4"},
      {"glc", phosphate(PhosphateLine("noaXXaS1", 128, 5)),
       "The effect on C1\" is beyond the bounds of -9.9..+12.7, file EFFECTS.PS, line 4"},
      {"glc", phosphate(PhosphateLine("noaXXaS1", 5, 130)),
       "The effect on C2\" is beyond the bounds of -9.9..+12.7, file EFFECTS.PS, line 4"},
      {"Ace", non(non_good.substr(0, 27)), "The file EFFECTS.PS is corrupted, line 2"},
      {"Ace", non(WithColumns(non_good, 20, "x")),
       "Could not interpret the a-effect in #non block" + tail},
      {"Ace", non(WithColumns(non_good, 25, "?")),
       "Could not interpret the b-effect in #non block" + tail},
      {"Ace", non(EffectLine("noa DaS ", ' ', 5, {128, 0})),
       "The a-effect in #non block exceed the bounds of -12.7..+12.7" + tail},
      {"Ace", non(WithColumns(non_good, 24, "-12.9")),
       "The b-effect in #non block exceed the bounds of -12.7..+12.7" + tail},
      {"Ace", non(non_good + "  1.0"),
       "The number of effects specified in #non block should be three for each line (effect on "
       "C1\", alpha-effect, beta-effect)" + tail},
  };
  for (const auto& c : cases) {
    DatabaseDir dir;
    dir.Write("EFFECTS.PS", c.content);
    tShiftTable table;
    std::string output;
    const std::uint8_t anomeric = std::string(c.residue) == "glc" || std::string(c.residue) == "Araf"
                                      ? kAnomericAlpha
                                      : kAnomericNone;
    EXPECT_FALSE(ReadEffects(dir, dir.Task({{c.residue, anomeric}}), table, output)) << c.content;
    EXPECT_EQ(output, Fatal(c.message)) << c.content;
  }
}

TEST(EffectsDatabaseTest, LineOnAPositionWithoutOSubstituentIsAcceptedUnchecked) {
  DatabaseDir dir;
  const std::string unread_values =
      WithColumns(WithColumns(EffectLine("noa DaS5", ' ', 5, {1, 2, 3, 4, 5, 6}), 14, "x"), 26, "x");
  dir.Write("EFFECTS.PS", "#glc\n" + unread_values + "\n" + kPhosphateBlock);
  tShiftTable table;
  std::string output;
  EXPECT_TRUE(ReadEffects(dir, dir.Task({{"glc", kAnomericAlpha}}), table, output)) << output;
}

TEST(EffectsDatabaseTest, FileThatCannotBeRewoundOrOpened) {
  {
    DatabaseDir dir;
    // A pipe opens for reading but cannot go back to its start.
    const std::string fifo = dir.Path() + "/EFFECTS.PS";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const int writer = open(fifo.c_str(), O_RDWR);
    ASSERT_GE(writer, 0);
    tShiftTable table;
    std::string output;
    EXPECT_FALSE(ReadEffects(dir, dir.Task({{"glc", kAnomericAlpha}}), table, output));
    EXPECT_EQ(output, Fatal("Could not reopen EFFECTS.PS. Try restarting the program."));
    close(writer);
  }
  {
    DatabaseDir dir;
    tShiftTable table;
    table.Create(1);
    KeyInput keys("a");
    CaptureStdout();
    EXPECT_FALSE(ReadEffectsDatabase(dir.Residues(), dir.Task({{"glc", kAnomericAlpha}}), table));
    EXPECT_EQ(GetCapturedStdout(),
              "\nCould not open EFFECTS.PS for reading: file not found\nRetry or Abort?A\n");
  }
}

}  // namespace
}  // namespace glycomb
