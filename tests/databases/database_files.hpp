// Helpers of the database tests: a working directory with a NAMES.PS of test residues, tasks, and
// data lines in the fixed columns of the database files.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>
#include <vector>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "support/fixtures.hpp"
#include "support/key_input.hpp"

namespace glycomb::testing {

inline constexpr char kTestNames[] =
    "Glc /2oa 3oa 4oa 5da 6oa\n"   // class glc, O-substitutable 2, 3, 4, 6
    "GlcN /2na 3oa 4oa 5da 6oa\n"  // class glc, amino group at C2
    "Gal /2oa 3oa 4oe 5da 6oa\n"   // class gal
    "Gro /2oc 3oc ald\n"           // class ald3
    "Ace /2oa 3da 4oa non\n"       // not a sugar, O-substitutable 2 and 4
    "Araf /2oa 3oa 4da 5oa fur\n"  // class fur5
    "glc /2oa 3oa 4oa 5da 6oa\n"   // named as its class
    "Ala /2na 3da non Nlink\n";    // N-linked

// Tenths as a fixed-point number right-aligned in `width` columns: -3 gives "-0.3".
inline std::string Fixed(int tenths, std::size_t width) {
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(std::abs(tenths) / 10);
  text += '.';
  text += std::to_string(std::abs(tenths) % 10);
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// A c13data line from two substituents such as "aS(2o,2a,DD,n)3", their C1 effects and shifts.
inline std::string ShiftLine(const std::string& first, const std::string& second, int effect1,
                             int effect2, const std::vector<int>& shifts) {
  std::string line = first + "/" + second + "->" + Fixed(effect1, 4) + " " + Fixed(effect2, 4);
  for (int shift : shifts) line += Fixed(shift, 6);
  return line;
}

inline std::string TerminalLine(const std::vector<int>& shifts) {
  return ShiftLine("xX(2x,2x,XX,x)0", "xX(2x,2x,XX,x)0", 0, 0, shifts);
}

// An EFFECTS.PS line from eight descriptor columns such as "noa DaS3", the form column, the
// effect on C1 of the substituent and the values.
inline std::string EffectLine(const std::string& descriptor, char form, int c1_effect,
                              const std::vector<int>& values) {
  std::string line = descriptor + form + "-> " + Fixed(c1_effect, 4) + " /";
  for (int value : values) line += Fixed(value, 5);
  return line;
}

inline std::string PhosphateLine(const std::string& key, int c1_effect, int c2_effect) {
  return key + " -> " + Fixed(c1_effect, 4) + "   " + Fixed(c2_effect, 4);
}

// `line` with `text` written over it from `column` on (column 1 is the first character).
inline std::string WithColumns(std::string line, std::size_t column, const std::string& text) {
  return line.replace(column - 1, text.size(), text);
}

// A temporary working directory holding NAMES.PS, with its residue table read.
class DatabaseDir {
 public:
  DatabaseDir() : residues_(ReadNames(dir_, kTestNames)), cwd_(dir_.Path()) {}
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
      task.Residues[i + 1].Anomeric = composition[i].second;
      if (composition[i].first != "P") {
        task.Residues[i + 1].NameIndex = FindResidueName(residues_, composition[i].first);
      }
    }
    return task;
  }

  // Runs `reader` on the task, with `keys` as key input (after them a Retry/Abort question
  // fails), and keeps what it printed in `output`.
  template <class Reader>
  bool Run(Reader reader, const tTask& task, tShiftTable& table, std::string& output,
           const std::string& keys = "") const {
    KeyInput input(keys);
    bool read = false;
    output = Captured([&] { read = reader(residues_, task.Residues, table); });
    return read;
  }

 private:
  TempDir dir_;
  tResidueTable residues_;
  ScopedWorkingDirectory cwd_;
};

}  // namespace glycomb::testing
