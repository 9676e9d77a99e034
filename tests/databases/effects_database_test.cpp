#include "databases/effects_database.hpp"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "console/text_file.hpp"
#include "databases/database_files.hpp"

namespace glycomb {
namespace {

using testing::DatabaseDir;
using testing::EffectLine;
using testing::Fatal;
using testing::PhosphateLine;
using testing::WithColumns;

// "noa DaS" and "noa DbS": normal C1, hydroxy at C2, axial H2, same absolute configuration,
// alpha and beta pyranose.
const unsigned kAlpha = DescriptorCell(0, 0, 0, kC2ProtonAxial, kC2Hydroxy, kC1Normal);
const unsigned kBeta = DescriptorCell(0, 1, 0, kC2ProtonAxial, kC2Hydroxy, kC1Normal);

const std::string kPhosphateBlock =
    "#P\n" + PhosphateLine("noaXXaS1", 5, -3) + "\n" + PhosphateLine("noaXXbS1", 7, -9) + "\n" +
    PhosphateLine("nnaXXaS1", 1, 2) + "\n" + PhosphateLine("nnaXXbS1", 3, 4) + "\n" +
    PhosphateLine("nooXXxA1", 0, 0) + "\n" + PhosphateLine("noaXXxN1", 0, 0) + "\n#\n";

// Reads `content` as EFFECTS.PS for one residue; the output goes to `output`.
bool ReadEffects(const std::string& content, const char* residue, std::uint8_t anomeric,
                 tShiftTable& table, std::string& output) {
  DatabaseDir dir;
  dir.Write("EFFECTS.PS", content);
  table.Create(1);
  return dir.Run(ReadEffectsDatabase, dir.Task({{residue, anomeric}}), table, output);
}

// C1 effect and the first `count` values of an effect set; empty when there is none.
std::vector<int> Set(const realdata1e* set, unsigned count) {
  if (set == nullptr) return {};
  std::vector<int> values = {set->C1Effect};
  values.insert(values.end(), set->Shifts.begin(), set->Shifts.begin() + count);
  return values;
}

TEST(EffectCodeTest, LettersInFrontOfTypeAndPosition) {
  const struct {
    std::uint8_t type, c1, group, proton, anomeric;
    const char* absolute;
    std::uint8_t position;
    const char* code;
  } cases[] = {
      {0, 0, 1, 1, 1, "DD", 3, "noaDDbS3"},  {0, 0, 1, 1, 0, "XX", 1, "noaXXaS1"},
      {1, 1, 0, 0, 0, "DL", 9, "cneDLaF9"},  {2, 2, 2, 2, 1, "DD", 2, "adoDDxA2"},
      {3, 0, 1, 2, 0, "DL", 4, "nooDLxN4"},  {3, 3, 0, 0, 0, "DD", 6, "nneDDxP6"},
      {0, 3, 1, 1, 1, "DDD", 2, "noaDDbP2"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(EffectCode(c.type, c.c1, c.group, c.proton, c.anomeric, c.absolute, c.position),
              c.code);
  }
}

TEST(EffectsDatabaseTest, ClassBlockFillsTheOSubstitutablePositionsOfEachForm) {
  const std::string content =
      "; effects\n#gal\n" + EffectLine("noa DbS2", ' ', 9, {9, 9, 9, 9, 9, 9}) +
      "\n#glc   ; glucose class\n" + EffectLine("noa DaS2", ' ', 5, {1, -2, 3, -4, 5, -6}) + "\n" +
      EffectLine("noa DaS3", 'a', 6, {1, 1, 1, 1, 1, 1}) + "\n" +
      EffectLine("noa DaS3", 'b', 7, {1, 1, 1, 1, 1, 1}) + "\n" +
      EffectLine("noa DaQ3", 'b', 7, {1, 1, 1, 1, 1, 1}) + "\n" +  // checked for beta only
      // C5 takes no substituent: the line is not checked, so its bad C1" and C2 columns pass.
      WithColumns(WithColumns(EffectLine("noa DaS5", ' ', 8, {1, 1, 1, 1, 1, 1}), 14, "x"), 26,
                  "x") +
      "\n" +
      EffectLine("NOA xbs4", ' ', 255, {1, 1, 1, 1, 1, 1}) + "\n" + kPhosphateBlock;
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(content, "glc", kAnomericAlpha, table, output)) << output;
  EXPECT_EQ(output, "");  // a residue named as its class reads no name block
  const tShiftEntry& entry = table.Entry(1, 0);
  EXPECT_EQ(Set(entry.Effect(2, kAlpha), 6), (std::vector<int>{5, 1, -2, 3, -4, 5, -6}));
  EXPECT_EQ(Set(entry.Effect(3, kAlpha), 0), std::vector<int>{6});
  EXPECT_EQ(Set(entry.Effect(4, kBeta), 0), std::vector<int>{255});
  for (const auto& [position, cell] : {std::pair{5u, kAlpha}, {2u, kBeta}, {4u, kAlpha}}) {
    EXPECT_EQ(entry.Effect(position, cell), nullptr) << position;
  }
  EXPECT_EQ(entry.PhosphateC1Effect, 5);
  EXPECT_EQ(entry.PhosphateC2Effect, -3);

  EXPECT_FALSE(ReadEffects(content, "Glc", kAnomericUnknown, table, output));
  EXPECT_EQ(table.Entry(1, 0).PhosphateC2Effect, -3);
  EXPECT_EQ(Set(table.Entry(1, 1).Effect(3, kAlpha), 0), std::vector<int>{7});
  EXPECT_EQ(
      output,
      "Warning: The #Glc data block is missing from EFFECTS.PS. Taking data from #glc \n" +
          Fatal("Could not determine the substituent type, file EFFECTS.PS, line 8\nIt should be "
                "one of: S(pyranose),F(furanose),A(alditol),P(phosphate),N(not a sugar)."));
}

TEST(EffectsDatabaseTest, NameBlockRefinesAminoBlockWhichRefinesClassBlockCellByCell) {
  const std::vector<int> by_class = {1, 11, 12, 13, 14, 15, 16};
  const std::vector<int> by_amino = {2, 21, 22, 23, 24, 25, 26};
  const std::vector<int> by_name = {3, 31, 32, 33, 34, 35, 36};
  const auto line = [](const char* descriptor, const std::vector<int>& set) {
    return EffectLine(descriptor, ' ', set[0], std::vector<int>(set.begin() + 1, set.end())) + "\n";
  };
  // Any block order: the file is rewound before every block search.
  const std::string content = kPhosphateBlock + "#GlcN\n" + line("noa DaS4", by_name) + "#glc\n" +
                              line("noa DaS3", by_class) + line("noa DaS4", by_class) +
                              line("noa DaS6", by_class) + line("noa DbS3", by_class) + "#glcn\n" +
                              line("noa DaS3", by_amino) + line("noa DaS4", by_amino) + "#\n";
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(content, "GlcN", kAnomericAlpha, table, output)) << output;
  EXPECT_EQ(output, "");
  const tShiftEntry& entry = table.Entry(1, 0);
  EXPECT_EQ(Set(entry.Effect(3, kAlpha), 6), by_amino);
  EXPECT_EQ(Set(entry.Effect(4, kAlpha), 6), by_name);
  EXPECT_EQ(Set(entry.Effect(6, kAlpha), 6), by_class);
  EXPECT_EQ(Set(entry.Effect(3, kBeta), 6), by_class);
  EXPECT_EQ(entry.PhosphateC2Effect, 2);
}

TEST(EffectsDatabaseTest, MissingAminoOrNameBlocksAreWarningsAndTheClassDataStand) {
  const std::string content = "#glc\n" + EffectLine("noa DaS3", ' ', 1, {1, 2, 3, 4, 5, 6}) +
                              "\n#gal\n" + EffectLine("noa DaS3", ' ', 2, {6, 5, 4, 3, 2, 1}) +
                              "\n" + kPhosphateBlock;
  const std::string glcn =
      "Warning: The #glcn data block is missing from EFFECTS.PS. Taking data from #glc\nWarning: "
      "The #GlcN data block is missing from EFFECTS.PS. Taking data from #glcn\n";
  const struct {
    const char* residue;
    std::uint8_t anomeric;
    std::string output;
    int c1_effect;
  } cases[] = {
      {"GlcN", kAnomericBeta, glcn, 1},
      {"GlcN", kAnomericUnknown, glcn + glcn, 1},
      {"Gal", kAnomericAlpha,
       "Warning: The #Gal data block is missing from EFFECTS.PS. Taking data from #gal \n", 2},
  };
  for (const auto& c : cases) {
    tShiftTable table;
    std::string output;
    ASSERT_TRUE(ReadEffects(content, c.residue, c.anomeric, table, output)) << output;
    EXPECT_EQ(output, c.output);
    const tShiftEntry& entry = table.Entry(1, c.anomeric == kAnomericBeta ? 1 : 0);
    EXPECT_EQ(Set(entry.Effect(3, kAlpha), 0), std::vector<int>{c.c1_effect}) << c.residue;
  }
}

TEST(EffectsDatabaseTest, NonBlockLinesApplyAlphaAndBetaEffectsAtEveryPosition) {
  // Ace has four carbons, positions 2 and 4 take O-substituents; column 8 is not read here.
  const std::string content = "#non\n" + EffectLine("noa DaS?", ' ', 4, {-25, 7}) + "\n#Ace\n" +
                              EffectLine("noa DbS4", ' ', 9, {1, 2, 3, 4}) + "\n" + kPhosphateBlock;
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(content, "Ace", kAnomericNone, table, output)) << output;
  const tShiftEntry& entry = table.Entry(1, 0);
  EXPECT_EQ(Set(entry.Effect(2, kAlpha), 4), (std::vector<int>{4, 7, -25, 7, 0}));
  EXPECT_EQ(entry.Effect(3, kAlpha), nullptr);
  EXPECT_EQ(Set(entry.Effect(4, kAlpha), 4), (std::vector<int>{4, 0, 0, 7, -25}));
  EXPECT_EQ(Set(entry.Effect(4, kBeta), 4), (std::vector<int>{9, 1, 2, 3, 4}));
}

TEST(EffectsDatabaseTest, PhosphateEffectsAreSignedAndNLinkedResiduesNeedNone) {
  // The closing "#" may be the very last line, without a line break.
  const std::string content = "#non\n#glc\n#P\n" + PhosphateLine("noaXXbS1", 1, 1) + "\n" +
                              PhosphateLine("noaXXaS1", -5, 127) + "\n#";
  tShiftTable table;
  std::string output;
  ASSERT_TRUE(ReadEffects(content, "glc", kAnomericAlpha, table, output)) << output;
  EXPECT_EQ(table.Entry(1, 0).PhosphateC1Effect, -5);
  EXPECT_EQ(table.Entry(1, 0).PhosphateC2Effect, 127);
  ASSERT_TRUE(ReadEffects(content, "Ala", kAnomericNone, table, output)) << output;
  EXPECT_EQ(output,
            "Warning: The #Ala data block is missing from EFFECTS.PS. Taking data from #nonn\n");
}

TEST(EffectsDatabaseTest, MalformedDataStopTheRunNamingTheLine) {
  const std::string good = EffectLine("noa DaS3", ' ', 5, {10, -20, 30, -40, 50, -60});
  const std::string non_good = EffectLine("noa DaS ", ' ', 5, {-12, 12});
  const std::string tail = ", file EFFECTS.PS, line 2";
  const std::string end =
      "Unexpected end of file EFFECTS.PS. It should be ended with an empty block (`#`)";
  const std::string missing = " data block is missing from EFFECTS.PS";
  std::string blank_values = good.substr(0, 18);
  for (int k = 1; k <= 6; ++k) blank_values += "   . ";
  const auto glc = [&](const std::string& line) {
    return "#glc\n" + line + "\n" + kPhosphateBlock;
  };
  const auto non = [&](const std::string& line) {
    return "#non\n" + line + "\n" + kPhosphateBlock;
  };
  const auto p = [](int c1, int c2) { return "#glc\n#\n#P\n" + PhosphateLine("noaXXaS1", c1, c2); };
  const struct {
    const char* residue;
    std::string content, message;
  } cases[] = {
      {"glc", glc(good.substr(0, 47)), "The file EFFECTS.PS is corrupted, line 2"},
      {"glc", glc(WithColumns(good, 27, ",")), "Wrong effects dataset" + tail},
      {"glc", glc(WithColumns(good, 11, "-")), "Wrong effect prefix" + tail},
      {"glc", glc(WithColumns(good, 18, "|")), "Wrong effect prefix" + tail},
      {"glc", glc(WithColumns(good, 15, ",")), "Wrong C1 effect" + tail},
      {"glc", glc(WithColumns(good, 9, "A")),
       "Wrong anomeric configuration of the substituted residue" + tail},
      {"glc", glc(WithColumns(good, 8, "x")),
       "Could not interpret substitution position in qualifier" + tail},
      {"glc", glc(WithColumns(good, 8, "1")),
       "The substitution position is beyond the bound of 2..6 allowed for glc" + tail},
      {"glc", glc(WithColumns(good, 1, "x")),
       "Could not determine the substituent C1 peculiarities" + tail},
      {"glc", glc(WithColumns(good, 6, "c")),
       "The anomeric configuration of the substituent of S or F type should be either a(alpha) or "
       "b(beta)" +
           tail},
      {"glc", glc(WithColumns(good, 5, "Q")),
       "The substituent absolute configuration should be either DD(same) or DL(different)" + tail},
      {"glc", glc(WithColumns(good, 2, "Q")),
       "The type of group at C2 of the substituent should be either O(hydroxy) or N(amino) or "
       "D(desoxy)" +
           tail},
      {"glc", glc(WithColumns(good, 3, "c")),
       "The orientation of proton at C2 of the second substituent should be either a(axial) or "
       "e(equatorial) or o(open chain)" +
           tail},
      {"glc", glc(WithColumns(good, 14, "x")),
       "Could not interpret the C1\" effect in EFFECTS.PS, line 2"},
      {"glc", glc(WithColumns(good, 13, "-0.5")),
       "The effect on C1\" is beyond the bounds of 0..+25.5" + tail},
      {"glc", glc(WithColumns(good, 26, "x")),
       "Could not interpret the effect for C2 in EFFECTS.PS, line 2"},
      {"glc", glc(blank_values), "The line 2 in EFFECTS.PS contains no spectral data"},
      {"glc", glc(good + "  1.0"),
       "The number of effects specified in EFFECTS.PS (line 2) differs from 6, which should be in "
       "glc"},
      {"glc", "#glc\n" + good, end},
      {"glc", "#gal\n#P\n#\n", "The #glc" + missing},
      {"Gro", "#glc\n#P\n#\n", "The #ald3 (C3-alditols generally)" + missing},
      {"Araf", "#glc\n#P\n#\n", "The #fur5 (C5-furanoses generally)" + missing},
      {"Ace", "#glc\n#P\n#\n", "The #non (all unlisted residues generally)" + missing},
      {"glc", "#glc\n#\n",
       "The #P (phosphate)" + missing + ". It should be the last block in the file."},
      {"glc", "#glc\n#\n#P\n" + PhosphateLine("noaXXbS1", 0, 0) + "\n#",
       "The noaXXaS1 -> effect is missing from block #P of EFFECTS.PS"},
      {"glc", "#glc\n#\n#P\n" + PhosphateLine("noaXXbS1", 0, 0), end},
      {"glc", WithColumns(p(5, 5), 23, "?"),
       "Could not interpret the C1\" effect in EFFECTS.PS, line 4"},
      {"glc", p(5, 5).substr(0, 28), "Could not interpret the C2\" effect in EFFECTS.PS, line 4"},
      {"glc", p(128, 5),
       "The effect on C1\" is beyond the bounds of -9.9..+12.7, file EFFECTS.PS, line 4"},
      {"glc", p(5, 130),
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
       "C1\", alpha-effect, beta-effect)" +
           tail},
  };
  for (const auto& c : cases) {
    tShiftTable table;
    std::string output;
    const bool sugar = std::string(c.residue) == "glc" || std::string(c.residue) == "Araf";
    EXPECT_FALSE(
        ReadEffects(c.content, c.residue, sugar ? kAnomericAlpha : kAnomericNone, table, output));
    EXPECT_EQ(output, Fatal(c.message)) << c.content;
  }
}

// A pipe opens for reading but cannot go back to its start; a missing file is asked about.
TEST(EffectsDatabaseTest, FileThatCannotBeRewoundOrOpened) {
  DatabaseDir dir;
  const std::string fifo = dir.Path() + "/EFFECTS.PS";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const int writer = open(fifo.c_str(), O_RDWR);
  tShiftTable table;
  table.Create(1);
  std::string output;
  EXPECT_FALSE(dir.Run(ReadEffectsDatabase, dir.Task({{"glc", kAnomericAlpha}}), table, output));
  EXPECT_EQ(output, Fatal("Could not reopen EFFECTS.PS. Try restarting the program."));
  close(writer);
  unlink(fifo.c_str());
  EXPECT_FALSE(dir.Run(ReadEffectsDatabase, dir.Task({{"glc", kAnomericAlpha}}), table, output));
  EXPECT_EQ(output, "\nCould not open EFFECTS.PS for reading: file not found\nRetry or Abort?" +
                        Fatal("Console error, code 0"));
}

// A read error while the name block is searched, answered with Abort, fails the reading. Taken
// for the end of the file it would leave the class data standing: a different prediction.
TEST(EffectsDatabaseTest, AbortedReadFailsTheReading) {
  DatabaseDir dir;
  dir.Write("EFFECTS.PS", "#gal\n" + EffectLine("noa DaS3", ' ', 1, {1, 2, 3, 4, 5, 6}) +
                              "\n#Gal\n" + kPhosphateBlock);
  // The first read brings the whole file; the read after the rewind for the name block fails.
  static int reads;
  reads = 0;
  const tFileSystemCalls saved = FileSystemCalls;
  FileSystemCalls.Read = [](int fd, void* buffer, std::size_t count) -> ssize_t {
    if (++reads != 2) return ::read(fd, buffer, count);
    errno = EIO;
    return -1;
  };
  tShiftTable table;
  table.Create(1);
  std::string output;
  const bool read =
      dir.Run(ReadEffectsDatabase, dir.Task({{"Gal", kAnomericAlpha}}), table, output, "a");
  FileSystemCalls = saved;
  EXPECT_FALSE(read);
  EXPECT_EQ(output, "\nCould not read from EFFECTS.PS: device not ready\nRetry or Abort?A\n");
}

}  // namespace
}  // namespace glycomb
