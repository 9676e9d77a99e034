// Helpers of the database tests: a working directory with a NAMES.PS of test residues, tasks
// built from residue names, data lines in the fixed columns of the database files, and key input.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "console/console.hpp"
#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "support/temp_dir.hpp"

namespace glycomb::testing {

// The residues of the database tests (index in the residue table after the name).
inline constexpr char kTestNames[] =
    "Glc /2oa 3oa 4oa 5da 6oa\n"    // 1: class glc, O-substitutable 2, 3, 4, 6
    "GlcN /2na 3oa 4oa 5da 6oa\n"   // 2: class glc, amino group at C2
    "Gal /2oa 3oa 4oe 5da 6oa\n"    // 3: class gal
    "Gro /2oc 3oc ald\n"            // 4: alditol, class ald3
    "Ace /2oa 3da 4oa non\n"        // 5: not a sugar, O-substitutable 2 and 4
    "Araf /2oa 3oa 4da 5oa fur\n"   // 6: furanose, class fur5
    "glc /2oa 3oa 4oa 5da 6oa\n"    // 7: a name equal to its class
    "Ala /2na 3da non Nlink\n";     // 8: N-linked, not a sugar

// A fixed-point number in tenths, right-aligned in `width` columns: -3 gives "-0.3".
inline std::string Fixed(int tenths, std::size_t width) {
  const int magnitude = std::abs(tenths);
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(magnitude / 10);
  text += '.';
  text += std::to_string(magnitude % 10);
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// A c13data line: two 15-column substituent descriptions such as "aS(2o,2a,DD,n)3", the C1
// effects on them and the shifts.
inline std::string ShiftLine(const std::string& first, const std::string& second, int effect1,
                             int effect2, const std::vector<int>& shifts) {
  std::string line = first + "/" + second + "->" + Fixed(effect1, 4) + " " + Fixed(effect2, 4);
  for (int shift : shifts) line += Fixed(shift, 6);
  return line;
}

// The terminal line of a c13data file.
inline std::string TerminalLine(const std::vector<int>& shifts) {
  return ShiftLine("xX(2x,2x,XX,x)0", "xX(2x,2x,XX,x)0", 0, 0, shifts);
}

// An EFFECTS.PS effect line: eight descriptor columns such as "noa DaS3", the form column, the
// effect on C1 of the substituent and the values.
inline std::string EffectLine(const std::string& descriptor, char form, int c1_effect,
                              const std::vector<int>& values) {
  std::string line = descriptor + form + "-> " + Fixed(c1_effect, 4) + " /";
  for (int value : values) line += Fixed(value, 5);
  return line;
}

// A "#P" line: the residue key and the effects on C1 and C2 of the residue.
inline std::string PhosphateLine(const std::string& key, int c1_effect, int c2_effect) {
  return key + " -> " + Fixed(c1_effect, 4) + "   " + Fixed(c2_effect, 4);
}

// `line` with the text at `column` (column 1 is the first character) replaced by `text`.
inline std::string WithColumns(std::string line, std::size_t column, const std::string& text) {
  return line.replace(column - 1, text.size(), text);
}

// What FatalError prints for `message`.
inline std::string Fatal(const std::string& message) {
  std::string text(1, '\n');
  text += message;
  text += "\nCan't continue\n\n";
  return text;
}

// A temporary working directory holding NAMES.PS, with its residue table read.
class DatabaseDir {
 public:
  DatabaseDir() : cwd_(dir_.Path()) {
    dir_.Write("NAMES.PS", kTestNames);
    ::testing::internal::CaptureStdout();
    const bool read = ReadNamesDatabase(residues_);
    const std::string output = ::testing::internal::GetCapturedStdout();
    EXPECT_TRUE(read) << output;
  }

  void Write(const std::string& name, const std::string& content) const {
    dir_.Write(name, content);
  }
  const std::string& Path() const { return dir_.Path(); }
  const tResidueTable& Residues() const { return residues_; }

  // A task of the residues named, each with its anomeric code; "P" is a phosphate.
  tTask Task(const std::vector<std::pair<std::string, std::uint8_t>>& composition) const {
    tTask task;
    task.ResidueCount = static_cast<std::uint8_t>(composition.size());
    task.Residues.resize(composition.size() + 1);
    for (std::size_t i = 0; i < composition.size(); ++i) {
      tTaskResidue& residue = task.Residues[i + 1];
      residue.Anomeric = composition[i].second;
      if (composition[i].first == "P") {
        residue.NameIndex = 0;
        continue;
      }
      residue.NameIndex = FindResidueName(residues_, composition[i].first);
      EXPECT_NE(residue.NameIndex, kNameNotFound) << composition[i].first;
    }
    return task;
  }

 private:
  TempDir dir_;
  ScopedWorkingDirectory cwd_;
  tResidueTable residues_;
};

// Feeds the console's key input from a pipe holding `keys`, then end of input.
class KeyInput {
 public:
  explicit KeyInput(const std::string& keys) {
    if (pipe(fds_) != 0) ADD_FAILURE() << "pipe";
    if (write(fds_[1], keys.data(), keys.size()) != static_cast<ssize_t>(keys.size())) {
      ADD_FAILURE() << "write";
    }
    close(fds_[1]);
    SetConsoleInput(fds_[0]);
  }
  ~KeyInput() {
    SetConsoleInput(STDIN_FILENO);
    close(fds_[0]);
  }
  KeyInput(const KeyInput&) = delete;
  KeyInput& operator=(const KeyInput&) = delete;

 private:
  int fds_[2];
};

}  // namespace glycomb::testing
