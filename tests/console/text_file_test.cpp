#include "console/text_file.hpp"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
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

// A process killed between writing the new file and renaming it leaves the old file whole; the
// complete new text waits beside it.
TEST(ReplaceFileTest, KillBeforeTheRenameLeavesTheOldFile) {
  TempDir dir;
  dir.Write("OLD.RES", "old report");
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    FileSystemCalls.Rename = [](const char*, const char*) { return raise(SIGKILL); };
    ReplaceFile(dir / "OLD.RES", "new report");
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);
  EXPECT_EQ(dir.Read("OLD.RES"), "old report");
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
    left.push_back(entry.path().filename().string());
  }
  ASSERT_EQ(left.size(), 2u);
  const std::string temporary = left[0] == "OLD.RES" ? left[1] : left[0];
  EXPECT_TRUE(temporary.starts_with("OLD.RES.") && temporary.size() == 14) << temporary;
  EXPECT_EQ(dir.Read(temporary), "new report");
}

// A replaced file keeps its permissions and the link that names it.
TEST(ReplaceFileTest, LinkIsFollowedAndPermissionsKept) {
  TempDir dir;
  dir.Write("REAL.RES", "old");
  ASSERT_EQ(chmod((dir / "REAL.RES").c_str(), 0604), 0);
  std::filesystem::create_symlink("REAL.RES", dir / "LINK.RES");
  EXPECT_FALSE(ReplaceFile(dir / "LINK.RES", "new").has_value());
  EXPECT_TRUE(std::filesystem::is_symlink(dir / "LINK.RES"));
  EXPECT_EQ(dir.Read("REAL.RES"), "new");
  EXPECT_EQ(std::filesystem::status(dir / "REAL.RES").permissions(),
            std::filesystem::perms(0604));
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
