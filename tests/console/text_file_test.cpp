#include "console/text_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::TempDir;

std::vector<std::string> AllLines(const std::string& path) {
  InputTextFile file;
  EXPECT_FALSE(file.Open(path).has_value());
  std::vector<std::string> lines;
  std::string line;
  while (file.ReadLine(line)) lines.push_back(line);
  return lines;
}

TEST(InputTextFileTest, LineEndsOfEveryKind) {
  TempDir dir;
  const struct {
    const char* content;
    std::vector<std::string> lines;
  } cases[] = {
      {"", {}},
      {"a\nb\n", {"a", "b"}},
      {"a\r\nb", {"a", "b"}},      // last line without a line break
      {"a\rb\r\n\nc", {"a", "b", "", "c"}},
      {"\n", {""}},
  };
  for (const auto& c : cases) {
    dir.Write("f.txt", c.content);
    EXPECT_EQ(AllLines(dir / "f.txt"), c.lines) << c.content;
  }
}

// Of a line longer than the limit only one character more is read; the rest stays unread.
TEST(InputTextFileTest, LongLineIsReadOnlyUpToItsLimit) {
  TempDir dir;
  dir.Write("f.txt", "abcdefgh\nxy");
  InputTextFile file;
  ASSERT_FALSE(file.Open(dir / "f.txt").has_value());
  std::string line;
  ASSERT_TRUE(file.ReadLine(line, 4));
  EXPECT_EQ(line, "abcde");
  ASSERT_TRUE(file.ReadLine(line, 4));
  EXPECT_EQ(line, "fgh");
}

TEST(FindFileNoCaseTest, MatchesEachComponentWithoutRegardToCase) {
  TempDir dir;
  dir.Write("NAMES.PS", "x");
  dir.Write("c13data/A-GLC.DAT", "x");
  EXPECT_EQ(FindFileNoCase(dir / "names.ps"), dir / "NAMES.PS");
  EXPECT_EQ(FindFileNoCase(dir / "C13DATA/a-glc.dat"), dir / "c13data/A-GLC.DAT");
  EXPECT_EQ(FindFileNoCase(dir / "c13data/B-GLC.DAT"), dir / "c13data/B-GLC.DAT");
  EXPECT_EQ(FindFileNoCase(dir / "nothing/names.ps"), dir / "nothing/names.ps");
  testing::ScopedWorkingDirectory here(dir.Path());
  EXPECT_EQ(FindFileNoCase("names.PS"), "NAMES.PS");
}

}  // namespace
}  // namespace glycomb
