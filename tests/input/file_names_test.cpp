#include "input/file_names.hpp"

#include <gtest/gtest.h>

#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

TEST(ForceExtensionTest, KeepsDirectoryAndUpperCasesTheFileName) {
  const struct {
    const char* given;
    const char* extension;
    const char* expected;
  } cases[] = {
      {"abc.dat", ".TSK", "ABC.TSK"},         {"work/abc", ".TSK", "work/ABC.TSK"},
      {"work/abc.txt", ".RES", "work/ABC.RES"}, {"my.dir/abc", ".STR", "my.dir/ABC.STR"},
      {"/w/Sub/a.b.c", ".TSK", "/w/Sub/A.B.TSK"}, {"abc.", ".TSK", "ABC.TSK"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ForceExtension(c.given, c.extension), c.expected) << c.given;
  }
}

TEST(OutputFileNameTest, ReusesAnExistingFileInAnotherCase) {
  testing::TempDir dir;
  dir.Write("Sub/x.txt", "");
  EXPECT_EQ(OutputFileName(dir / "Sub/abc.tsk", ".RES"), dir / "Sub/ABC.RES");
  dir.Write("Sub/abc.res", "");
  EXPECT_EQ(OutputFileName(dir / "Sub/abc.tsk", ".RES"), dir / "Sub/abc.res");
  // The directory part stays as written even when it is found in another case.
  EXPECT_EQ(OutputFileName(dir / "SUB/abc", ".RES"), dir / "SUB/abc.res");
  dir.Write("Sub/ABC.RES", "");
  EXPECT_EQ(OutputFileName(dir / "Sub/abc", ".RES"), dir / "Sub/ABC.RES");
}

}  // namespace
}  // namespace glycomb
