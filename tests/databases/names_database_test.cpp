#include "databases/names_database.hpp"

#include <gtest/gtest.h>

#include <string>

#include "support/fixtures.hpp"

namespace glycomb {
namespace {

using testing::Fatal;
using testing::ScopedWorkingDirectory;
using testing::TempDir;

struct tReadResult {
  bool ok;
  std::string output;
  tResidueTable table;
};

tReadResult ReadNamesFile(const std::string& content, const char* file_name = "NAMES.PS") {
  TempDir dir;
  dir.Write(file_name, content);
  ScopedWorkingDirectory here(dir.Path());
  tReadResult result;
  result.output = testing::Captured([&] { result.ok = ReadNamesDatabase(result.table); });
  return result;
}

TEST(ReadNamesDatabaseTest, EveryMessageForABadFile) {
  const struct {
    const char* content;
    std::string message;
  } cases[] = {
      {"; nothing here\n\n  ; indented\n", "NAMES.PS contains no data"},
      {"Glc 2oa3oa\nGl /2oa3oa\n", "NAMES.PS file is corrupted, line 1"},
      {"Glc /2oa\nGlcNAc /2na\n", "NAMES.PS file is corrupted, line 2"},
      {";c\nGlc /3oa4oa\n", "Missing qulifier for the atom 2, file NAMES.PS, line 2"},
      {"Glc /2oa3oa4oa6oc\n", "Some qualifiers are missing, file NAMES.PS, line 1"},
      {"Glc /2oa3xa\n", "Wrong qualifier for the atom 3 file NAMES.PS, line 1"},
      {"Glc /2oa3oa4oa5oa6o?\n", "Wrong orientation for the atom 6 file NAMES.PS, line 1"},
      {"Glc /2oa3o\n", "The atom 3 has no qualifier and orientation letters, file NAMES.PS, line 1"},
      {"Glc /2oa3oa4\n", "The atom 4 has no qualifier and orientation letters, file NAMES.PS, line 1"},
  };
  for (const auto& c : cases) {
    const tReadResult result = ReadNamesFile(c.content);
    EXPECT_FALSE(result.ok) << c.content;
    EXPECT_EQ(result.output, Fatal(c.message)) << c.content;
  }
}

TEST(ReadNamesDatabaseTest, MoreThan254RecordsAreRefused) {
  std::string content;
  for (int i = 0; i < 254; ++i) content += "R" + std::to_string(100 + i) + " /2oa\n";
  EXPECT_TRUE(ReadNamesFile(content).ok);
  content += "; one more\nXyz /2oa\n";
  const tReadResult result = ReadNamesFile(content);
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.output, Fatal("NAMES.PS holds more than 254 residue records, line 256"));
}

TEST(ReadNamesDatabaseTest, RecordFieldsOfGoodLines) {
  const tReadResult result = ReadNamesFile(
      "; residue types\n"
      "Glc /2oa3oa4oa5oa6oc\n"
      "GlcN /2na3oa4oa5oa6cc\n"
      "Man /2oe3oa4oa5oa6oc\n"
      "Rha /2oe3oa4oa5da6dc\n"
      "Dig /2da3oa4oa5oa6oc\n"
      "Araf /2oa3oa4da5oc fur\n"
      "Gro /2oc3oc ald\n"
      "Lac /2ca3dc non Nlink\n"
      "GroP /2oc3oc ald\n"
      "Xap /2oa3oa Aatt Catt\n"
      "Fnn /2oa fur non\n"
      "Xylp /2oe3oa4oe5oa Aatt\n"
      "Gal5 /2oa3oa4oe5oa\n"
      "Gal /2oa3oa4oe5oa6oc",  // last line without a line break
      "names.ps");             // found without regard to case
  ASSERT_TRUE(result.ok) << result.output;
  EXPECT_EQ(result.output, "");
  const tResidueTable& t = result.table;
  ASSERT_EQ(t.size(), 15u);

  EXPECT_EQ(t[0].Name, "P");
  EXPECT_EQ(t[0].C1Peculiarity, kC1Phosphate);
  EXPECT_EQ(t[0].OSubstitutable, 1u << 2);
  EXPECT_EQ(t[0].CarbonCount, 0);

  const struct {
    std::size_t index;
    const char* name;
    int ring, nlinked, c1, c2proton, c2group, carbons;
    unsigned o_set, n_set, amino, equatorial;
    const char* class_name;
  } rows[] = {
      {1, "Glc", 0, 0, 0, 1, 1, 6, 0x7C, 0x00, 0, 0, "glc"},
      {2, "GlcN", 0, 0, 0, 1, 0, 6, 0x78, 0x44, 0x04, 0, "glc"},
      {3, "Man", 0, 0, 0, 0, 1, 6, 0x7C, 0x00, 0, 0x04, "man"},
      {4, "Rha", 0, 0, 0, 0, 1, 6, 0x1C, 0, 0, 0x04, "man"},
      {5, "Dig", 0, 0, 0, 2, 2, 6, 0x78, 0x00, 0, 0, "glc"},
      {6, "Araf", 1, 0, 0, 1, 1, 5, 0x2C, 0x00, 0, 0, "fur5"},
      {7, "Gro", 2, 0, 0, 2, 1, 3, 0x0C, 0x00, 0, 0, "ald3"},
      {8, "Lac", 3, 1, 0, 1, 1, 3, 0x04, 0x04, 0, 0, "non"},
      {9, "GroP", 2, 0, 3, 2, 1, 3, 0x0C, 0x00, 0, 0, "ald3"},
      {10, "XaP", 0, 0, 1, 1, 1, 3, 0x0C, 0, 0, 0, "glc3"},
      {11, "Fnn", 3, 0, 0, 1, 1, 2, 0x04, 0, 0, 0, "non"},
      {12, "XylP", 0, 0, 2, 0, 1, 5, 0x3C, 0, 0, 0x14, "tal5"},
      {13, "Gal5", 0, 0, 0, 1, 1, 5, 0x3C, 0, 0, 0x10, "gal5"},
      {14, "Gal", 0, 0, 0, 1, 1, 6, 0x7C, 0x00, 0, 0x10, "gal"},
  };
  for (const auto& r : rows) {
    const tNameRecord& record = t[r.index];
    SCOPED_TRACE(r.name);
    EXPECT_EQ(record.Name, r.name);
    EXPECT_EQ(record.RingKind, r.ring);
    EXPECT_EQ(record.NLinked, r.nlinked);
    EXPECT_EQ(record.C1Peculiarity, r.c1);
    EXPECT_EQ(record.C2ProtonOrientation, r.c2proton);
    EXPECT_EQ(record.C2Substituent, r.c2group);
    EXPECT_EQ(record.CarbonCount, r.carbons);
    EXPECT_EQ(record.OSubstitutable, r.o_set);
    EXPECT_EQ(record.NSubstitutable, r.n_set);
    EXPECT_EQ(record.AminoPositions, r.amino);
    EXPECT_EQ(record.EquatorialPositions, r.equatorial);
    EXPECT_EQ(ResidueClassName(record), r.class_name);
  }
}

TEST(ResidueClassNameTest, ConfigurationClassesAndSuffixes) {
  const struct {
    unsigned equatorial;
    int ring, carbons;
    const char* class_name;
  } cases[] = {
      {0x00, 0, 6, "glc"},  {0x04, 0, 6, "man"},  {0x08, 0, 6, "all"},  {0x0C, 0, 6, "alt"},
      {0x10, 0, 6, "gal"},  {0x14, 0, 6, "tal"},  {0x18, 0, 6, "gul"},  {0x1C, 0, 6, "ido"},
      {0x10, 0, 5, "gal5"}, {0x00, 0, 9, "glc9"}, {0x10, 1, 6, "fur6"}, {0x00, 2, 5, "ald5"},
      {0x1C, 3, 9, "non"},  {0x20, 0, 6, "glc"},  // position 5 plays no part
  };
  for (const auto& c : cases) {
    tNameRecord record;
    record.EquatorialPositions = static_cast<tPositionSet>(c.equatorial);
    record.RingKind = static_cast<std::uint8_t>(c.ring);
    record.CarbonCount = static_cast<std::uint8_t>(c.carbons);
    EXPECT_EQ(ResidueClassName(record), c.class_name) << c.class_name;
  }
}

TEST(FindResidueNameTest, ExactCaseSensitiveLastMatchWins) {
  const tReadResult result = ReadNamesFile("Glc /2oa\nGal /2oa\nGlc /2oa3oa\n");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(FindResidueName(result.table, "Glc"), 3);
  EXPECT_EQ(FindResidueName(result.table, "Gal"), 2);
  EXPECT_EQ(FindResidueName(result.table, "glc"), kNameNotFound);
  EXPECT_EQ(FindResidueName(result.table, "P"), kNameNotFound);
}

}  // namespace
}  // namespace glycomb
