// Random task files and repeating units over a residue table, for the differential and property
// tests of the search and the calculation.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "databases/names_database.hpp"
#include "e2e/test_reference_data.hpp"
#include "support/fixtures.hpp"
#include "support/program_runner.hpp"

namespace glycomb::testing {

// A temporary directory holding the shipped reference data or the small test data set, and the
// residue table read from it.
struct tDataSetDir {
  explicit tDataSetDir(bool test_data) {
    if (test_data) {
      WriteTestReferenceData(Dir);
    } else {
      CopyShippedData(Dir);
    }
    ScopedWorkingDirectory here(Dir.Path());
    Captured([&] { EXPECT_TRUE(ReadNamesDatabase(Residues)); });
  }
  TempDir Dir;
  tResidueTable Residues;
};

// Random tasks: two to four residues (sugars of known or unknown configuration, alditols, the
// N-linked non-sugar, phosphates), sometimes constrained; a spectrum near that of some structure
// (so that the table fills with close candidates and the bounds prune), or random values; and
// any of the options.
class tTaskGenerator {
 public:
  tTaskGenerator(const tResidueTable& residues, bool test_data, unsigned seed)
      : residues_(residues), random_(seed) {
    for (std::size_t i = 1; i < residues.size(); ++i) {
      if (!test_data || residues[i].Name == "Hex" || residues[i].Name == "Gol" ||
          residues[i].Name == "Gan" || residues[i].Name == "Acy") {
        names_.push_back(static_cast<std::uint8_t>(i));
      }
    }
  }

  // The residues of a random linear repeating unit as a structure record writes them: sugars of
  // either configuration, alditols and phosphates (never two phosphates in a row), each carrying
  // the one written before it at a random position that can take it.
  std::vector<std::string> LinearUnit(std::size_t count) {
    std::vector<std::uint8_t> carriers;  // residues that can carry an O-linked one
    for (const std::uint8_t name : names_) {
      const tNameRecord& r = residues_[name];
      if (r.NLinked == 0 && r.RingKind != kNonSugar && r.OSubstitutable != 0) {
        carriers.push_back(name);
      }
    }
    std::vector<std::uint8_t> types;  // 0 = phosphate
    for (std::size_t i = 0; i < count; ++i) {
      const bool phosphate = Pick(3) == 0 && (i == 0 || types.back() != 0) &&
                             !(i + 1 == count && !types.empty() && types.front() == 0);
      types.push_back(phosphate ? 0 : carriers[Pick(carriers.size())]);
    }
    std::vector<std::string> tokens;
    for (const std::uint8_t type : types) {
      if (type == 0) {
        tokens.push_back("P");
        continue;
      }
      const tNameRecord& r = residues_[type];
      std::vector<int> positions;
      for (int p = 2; p <= 9; ++p) {
        if (InSet(r.OSubstitutable, static_cast<std::uint8_t>(p))) positions.push_back(p);
      }
      std::string token = std::to_string(positions[Pick(positions.size())]) + ")";
      token += r.RingKind < kAlditol ? (Pick(2) == 0 ? "a" : "b") : "c";
      tokens.push_back(token + (Pick(2) == 0 ? "D" : "L") + r.Name);
    }
    return tokens;
  }

  // With `links`: always SPINSYSTEMS, sometimes DISTINCT, and one to three LINK lines that name
  // valid spin systems and positions (which may or may not be met by the best structures).
  std::string Task(bool links = false) {
    const std::size_t count = 2 + Pick(Pick(4) == 0 ? 3 : 2);
    std::vector<std::uint8_t> types;  // 0 = phosphate
    for (std::size_t i = 0; i < count; ++i) {
      types.push_back(Pick(6) == 0 ? 0 : names_[Pick(names_.size())]);
    }
    std::string composition;
    std::vector<std::vector<std::int32_t>> lines;
    std::vector<std::uint8_t> line_types;
    for (const std::uint8_t type : types) {
      if (!composition.empty()) composition += ' ';
      if (type == 0) {
        composition += "P";
        continue;
      }
      const tNameRecord& r = residues_[type];
      if (Pick(5) == 0) composition += Constraint(r);
      const bool anomeric_forms = r.RingKind < kAlditol;
      composition += !anomeric_forms ? (Pick(4) == 0 ? "?" : "c")
                     : Pick(5) == 0  ? "?"
                                     : (Pick(2) == 0 ? "a" : "b");
      composition += Pick(6) == 0 ? "?" : (Pick(4) == 0 ? "L" : "D");
      composition += r.Name;
      std::vector<std::int32_t> line;
      for (std::size_t k = 0; k < r.CarbonCount; ++k) {
        line.push_back(k == 0 ? 950 + static_cast<std::int32_t>(Pick(160))
                              : 600 + static_cast<std::int32_t>(Pick(250)));
      }
      lines.push_back(line);
      line_types.push_back(type);
    }
    if (links) {
      std::vector<std::size_t> order(lines.size());
      for (std::size_t k = 0; k < order.size(); ++k) order[k] = k;
      std::shuffle(order.begin(), order.end(), random_);
      std::vector<std::vector<std::int32_t>> shuffled;
      std::vector<std::uint8_t> types_of_lines;
      for (const std::size_t k : order) {
        shuffled.push_back(lines[k]);
        types_of_lines.push_back(line_types[k]);
      }
      lines = shuffled;
      line_types = types_of_lines;
    } else {
      std::shuffle(lines.begin(), lines.end(), random_);
    }
    std::string task = composition + "\n";
    for (const auto& line : lines) {
      for (const std::int32_t shift : line) task += std::to_string(shift) + " ";
      task += "\n";
    }
    if (Pick(4) == 0) task += "WIDESPREAD\n";
    if (links) {
      task += "SPINSYSTEMS\n" + LinkLines(line_types);
      if (Pick(2) == 0) task += "DISTINCT\n";
    } else if (Pick(3) == 0) {
      task += "SPINSYSTEMS\n";
    }
    if (Pick(3) == 0) task += "CORRECTION: AUTO\n";
    if (Pick(4) == 0) task += "CORRECTION: " + std::to_string(static_cast<int>(Pick(61)) - 30) + "\n";
    const int limits[] = {1, 2, 3, 5, 8, 20, 99};
    task += "LIMIT: " + std::to_string(limits[Pick(7)]) + "\n";
    return task;
  }

 private:
  // One to three LINK lines between spin systems of `types` (the residue type of each line),
  // each system attached once, no cycle.
  std::string LinkLines(const std::vector<std::uint8_t>& types) {
    const std::size_t n = types.size();
    if (n < 2) return "";
    std::vector<std::size_t> root(n);
    for (std::size_t k = 0; k < n; ++k) root[k] = k;
    const auto find = [&](std::size_t k) {
      while (root[k] != k) k = root[k];
      return k;
    };
    std::vector<bool> attached(n, false);
    std::string text;
    const std::size_t wanted = 1 + Pick(3);
    for (std::size_t tries = 0, made = 0; tries < 20 && made < wanted; ++tries) {
      const std::size_t from = Pick(n), to = Pick(n);
      if (from == to || attached[from] || find(from) == find(to)) continue;
      std::vector<char> positions{'?'};
      const tNameRecord& carrier = residues_[types[to]];
      for (int p = 2; p <= carrier.CarbonCount; ++p) {
        if (InSet(carrier.OSubstitutable | carrier.NSubstitutable, static_cast<std::uint8_t>(p))) {
          positions.push_back(static_cast<char>('0' + p));
        }
      }
      if (positions.size() == 1) continue;
      attached[from] = true;
      root[find(from)] = find(to);
      ++made;
      text += "LINK: " + std::to_string(from + 1) + " (1->" + positions[Pick(positions.size())] +
              ") " + std::to_string(to + 1) + "\n";
    }
    return text;
  }

  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  // A prefix that the residue allows: one fixed position and none, one and any, or any and none.
  std::string Constraint(const tNameRecord& r) {
    std::vector<char> positions;
    for (int p = 2; p <= 9; ++p) {
      if (InSet(r.OSubstitutable | r.NSubstitutable, static_cast<std::uint8_t>(p))) {
        positions.push_back(static_cast<char>('0' + p));
      }
    }
    if (positions.empty()) return "xx)";
    const char position = positions[Pick(positions.size())];
    switch (Pick(3)) {
      case 0: return std::string{position, 'x', ')'};
      case 1: return std::string{position, '?', ')'};
      default: return "?x)";
    }
  }

  const tResidueTable& residues_;
  std::mt19937 random_;
  std::vector<std::uint8_t> names_;
};

}  // namespace glycomb::testing
