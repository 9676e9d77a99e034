// Helpers that many tests share: captured console output, the fatal-error block and a residue
// table read from a NAMES.PS of the test's own.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "console/console.hpp"
#include "databases/names_database.hpp"
#include "support/temp_dir.hpp"

namespace glycomb::testing {

// Runs `action` and returns what it printed. An exception leaving `action` is a test failure.
template <class Action>
std::string Captured(Action&& action) {
  ::testing::internal::CaptureStdout();
  try {
    action();
  } catch (const EErrorStop&) {
    ADD_FAILURE() << "unexpected fatal error";
  }
  return ::testing::internal::GetCapturedStdout();
}

// What FatalError prints.
inline std::string Fatal(const std::string& message) {
  return "\n" + message + "\nCan't continue\n\n";
}

// Writes `names` as NAMES.PS into `dir` and reads it there; a failed reading fails the test.
inline tResidueTable ReadNames(const TempDir& dir, const std::string& names) {
  dir.Write("NAMES.PS", names);
  ScopedWorkingDirectory here(dir.Path());
  tResidueTable table;
  const std::string output = Captured([&] { EXPECT_TRUE(ReadNamesDatabase(table)); });
  EXPECT_EQ(output, "");
  return table;
}

}  // namespace glycomb::testing
