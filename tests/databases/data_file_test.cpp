#include "databases/data_file.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "console/console.hpp"
#include "support/fixtures.hpp"
#include "support/key_input.hpp"

namespace glycomb {
namespace {

using ::testing::internal::CaptureStdout;
using ::testing::internal::GetCapturedStdout;
using testing::KeyInput;
using testing::TempDir;

struct tLine {
  std::string text;
  int line_number;
  bool operator==(const tLine&) const = default;
};

std::vector<tLine> DataLines(const std::string& content) {
  TempDir dir;
  dir.Write("in.txt", content);
  tDataFile file;
  EXPECT_TRUE(OpenDataFile(file, dir / "in.txt", "in.txt"));
  std::vector<tLine> lines;
  for (std::string line = ReadDataLine(file); !line.empty(); line = ReadDataLine(file)) {
    lines.push_back({line, file.LineNumber});
  }
  return lines;
}

TEST(ReadDataLineTest, SkipsBlankAndCommentLinesAndCountsPhysicalLines) {
  const struct {
    const char* content;
    std::vector<tLine> lines;
  } cases[] = {
      {"", {}},
      {"; only a comment\n\n   \n", {}},
      {"first\nsecond", {{"first", 1}, {"second", 2}}},
      {"\n; c\n  data ; comment\n", {{"  data ", 3}}},
      {"a\r\n\r\nb\r\n", {{"a", 1}, {"b", 3}}},
      // Blank once the comment is cut off: never a data line, at the end of a file too.
      {"data\n   ; closing comment", {{"data", 1}}},
      {"data\n \t ", {{"data", 1}}},
      {";x\n;y\nlast", {{"last", 3}}},
  };
  for (const auto& c : cases) EXPECT_EQ(DataLines(c.content), c.lines) << c.content;
}

TEST(ReadDataLineTest, ReadErrorAsksRetryOrAbort) {
  TempDir dir;
  tDataFile file;
  file.DisplayName = "DIR.TSK";
  ASSERT_FALSE(file.File.Open(dir.Path()).has_value());  // a directory opens but cannot be read
  KeyInput keys("ra");
  CaptureStdout();
  // Abort fails the reading: the reader must not take it for the end of the file.
  EXPECT_THROW(ReadDataLine(file), EErrorStop);
  EXPECT_EQ(GetCapturedStdout(),
            "\nCould not read from DIR.TSK: is a directory\nRetry or Abort?R\n"
            "\nCould not read from DIR.TSK: is a directory\nRetry or Abort?A\n");
}

TEST(ReadDataLineTest, LinesAndLineLengthAreBounded) {
  const struct {
    std::string content;
    std::string last_line;
    int last_number;
    std::string message;
  } cases[] = {
      {std::string(65534, '\n') + "x\ny", "x", 65535,
       "The file LONG.TXT is longer than 65535 lines, line 65536"},
      {"a\n" + std::string(65535, 'b') + "\n" + std::string(10'000'000, 'c'),
       std::string(65535, 'b'), 2, "The line 3 in LONG.TXT is longer than 65535 characters"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    dir.Write("long.txt", c.content);
    tDataFile file;
    ASSERT_TRUE(OpenDataFile(file, dir / "long.txt", "LONG.TXT"));
    for (std::string next = ReadDataLine(file); next != c.last_line; next = ReadDataLine(file)) {
      ASSERT_FALSE(next.empty());
    }
    EXPECT_EQ(file.LineNumber, c.last_number);
    EXPECT_EQ(testing::Captured([&] { EXPECT_THROW(ReadDataLine(file), EErrorStop); }),
              testing::Fatal(c.message));
  }
}

}  // namespace
}  // namespace glycomb
