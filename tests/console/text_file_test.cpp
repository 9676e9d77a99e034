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

TEST(InputTextFileTest, RewindStartsAgain) {
  TempDir dir;
  dir.Write("f.txt", "one\ntwo\n");
  InputTextFile file;
  ASSERT_FALSE(file.Open(dir / "f.txt").has_value());
  std::string line;
  ASSERT_TRUE(file.ReadLine(line));
  ASSERT_TRUE(file.ReadLine(line));
  EXPECT_EQ(line, "two");
  ASSERT_FALSE(file.Rewind().has_value());
  ASSERT_TRUE(file.ReadLine(line));
  EXPECT_EQ(line, "one");
}

TEST(InputTextFileTest, ErrorsComeBackAsCodes) {
  TempDir dir;
  InputTextFile file;
  const auto missing = file.Open(dir / "absent.txt");
  ASSERT_TRUE(missing.has_value());
  EXPECT_EQ(IoErrorText(*missing), "file not found");
  // A directory opens but cannot be read.
  ASSERT_FALSE(file.Open(dir.Path()).has_value());
  std::string line;
  try {
    file.ReadLine(line);
    ADD_FAILURE() << "no read error";
  } catch (const EFileError& error) {
    EXPECT_EQ(IoErrorText(error.Error), "is a directory");
  }
}

TEST(OutputTextFileTest, CreateAppendAndDiskFull) {
  TempDir dir;
  OutputTextFile out;
  ASSERT_FALSE(out.Create(dir / "R.RES").has_value());
  ASSERT_FALSE(out.WriteLine("first").has_value());
  ASSERT_FALSE(out.Close().has_value());
  ASSERT_FALSE(out.Append(dir / "R.RES").has_value());
  ASSERT_FALSE(out.WriteLine("second").has_value());
  ASSERT_FALSE(out.Close().has_value());
  EXPECT_EQ(dir.Read("R.RES"), "first\r\nsecond\r\n");
  ASSERT_FALSE(out.Create(dir / "R.RES").has_value());
  ASSERT_FALSE(out.Close().has_value());
  EXPECT_EQ(dir.Read("R.RES"), "");

  ASSERT_FALSE(out.Append("/dev/full").has_value());
  const auto full = out.WriteLine("x");
  ASSERT_TRUE(full.has_value());
  EXPECT_EQ(IoErrorText(*full), "insufficient disk space");
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
