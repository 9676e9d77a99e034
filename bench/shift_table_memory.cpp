// Loads the shift and effects databases for nine hexoses of unknown anomeric form from a generated
// data set and reports the memory the shift table holds. Run it under /usr/bin/time -v for the peak
// resident size of the whole process.
//
// Usage: shift_table_memory [single lines per slot] [pair lines per slot]
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "databases/effects_database.hpp"
#include "databases/names_database.hpp"
#include "databases/shift_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"

namespace {

using namespace glycomb;

// One residue name per hexose class; glc twice, so that nine entries are read.
const char* const kNames[] = {"glc", "man", "all", "alt", "gal", "tal", "gul", "ido"};
const char* const kQualifiers[] = {"2oa 3oa 4oa", "2oe 3oa 4oa", "2oa 3oe 4oa", "2oe 3oe 4oa",
                                   "2oa 3oa 4oe", "2oe 3oa 4oe", "2oa 3oe 4oe", "2oe 3oe 4oe"};

std::string Fixed(int tenths, std::size_t width) {
  std::string text = tenths < 0 ? "-" : "";
  text += std::to_string(std::abs(tenths) / 10) + "." + std::to_string(std::abs(tenths) % 10);
  return std::string(width > text.size() ? width - text.size() : 0, ' ') + text;
}

// The descriptor letters of substituent number `n` (0..539) of a c13data line.
std::string ShiftSubstituent(unsigned n, unsigned position) {
  const char* const types = "SFANP";
  std::string text;
  text += "ab"[n % 2];
  text += types[n / 2 % 5];
  text += "(2";
  text += "ond"[n / 10 % 3];
  text += ",2";
  text += "aec"[n / 30 % 3];
  text += ",D";
  text += "DL"[n / 90 % 2];
  text += ',';
  text += "nca"[n / 180 % 3];
  text += ')';
  text += static_cast<char>('0' + position);
  return text;
}

std::string ShiftsText(unsigned seed) {
  std::string text;
  for (int k = 0; k < 6; ++k) text += Fixed(600 + static_cast<int>((seed * 7 + k * 31) % 400), 6);
  return text;
}

void WriteShiftFile(const std::string& path, unsigned singles, unsigned pairs) {
  const unsigned positions[] = {2, 3, 4, 6};
  std::ofstream out(path);
  out << "xX(2x,2x,XX,x)0/xX(2x,2x,XX,x)0-> 0.0  0.0" << ShiftsText(0) << "\n";
  const std::string none = "xX(2x,2x,XX,x)0";
  for (unsigned p : positions) {
    for (unsigned n = 0; n < singles; ++n) {
      out << ShiftSubstituent(n * 7 % 540, p) << "/" << none << "->" << Fixed(5, 4) << " "
          << Fixed(0, 4) << ShiftsText(n) << "\n";
    }
  }
  for (unsigned i = 0; i < 4; ++i) {
    for (unsigned j = i + 1; j < 4; ++j) {
      for (unsigned n = 0; n < pairs; ++n) {
        out << ShiftSubstituent(n % 540, positions[i]) << "/"
            << ShiftSubstituent((n * 13 + n / 540) % 540, positions[j]) << "->" << Fixed(5, 4)
            << " " << Fixed(7, 4) << ShiftsText(n) << "\n";
      }
    }
  }
}

// A class block with a line for every combination of descriptor letters at every position.
void WriteEffectsBlock(std::ofstream& out, const std::string& class_name) {
  out << "#" << class_name << "\n";
  for (unsigned p : {2u, 3u, 4u, 6u}) {
    for (unsigned n = 0; n < 540; ++n) {
      std::string line;
      line += "nca"[n / 180 % 3];
      line += "ond"[n / 10 % 3];
      line += "aeo"[n / 30 % 3];
      line += ' ';
      line += "DL"[n / 90 % 2];
      line += "ab"[n % 2];
      line += "SFANP"[n / 2 % 5];
      line += static_cast<char>('0' + p);
      line += " -> " + Fixed(5, 4) + " /";
      for (int k = 0; k < 6; ++k) line += Fixed(static_cast<int>((n + k) % 60) - 30, 5);
      out << line << "\n";
    }
  }
}

long PeakResidentKb() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stol(line.substr(6));
  }
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned singles = argc > 1 ? static_cast<unsigned>(std::stoul(argv[1])) : 80;
  const unsigned pairs = argc > 2 ? static_cast<unsigned>(std::stoul(argv[2])) : 500;
  std::string dir = (std::filesystem::temp_directory_path() / "glycomb-bench-XXXXXX").string();
  if (mkdtemp(dir.data()) == nullptr) return 1;
  std::filesystem::current_path(dir);

  std::filesystem::create_directory("c13data");
  {
    std::ofstream names("NAMES.PS");
    for (int i = 0; i < 8; ++i) names << kNames[i] << " /" << kQualifiers[i] << " 5da 6oa\n";
    std::ofstream effects("EFFECTS.PS");
    for (const char* name : kNames) WriteEffectsBlock(effects, name);
    effects << "#P\n";
    for (const char* proton : {"a", "e"}) {
      for (const char* form : {"a", "b"}) {
        effects << "no" << proton << "XX" << form << "S1 ->  0.5   -0.3\n";
      }
    }
    effects << "#\n";
  }
  for (const char* name : kNames) {
    for (const char* prefix : {"A-", "B-"}) {
      std::string file = std::string(prefix) + name + ".DAT";
      for (char& c : file) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
      WriteShiftFile("c13data/" + file, singles, pairs);
    }
  }

  tResidueTable residues;
  tTask task;
  tShiftTable table;
  const auto start = std::chrono::steady_clock::now();
  if (!ReadNamesDatabase(residues)) return 1;
  task.ResidueCount = 9;
  task.Residues.resize(10);
  for (unsigned i = 1; i <= 9; ++i) {
    task.Residues[i].NameIndex = FindResidueName(residues, kNames[(i - 1) % 8]);
    task.Residues[i].Anomeric = kAnomericUnknown;
  }
  const bool loaded =
      ReadShiftDatabase(residues, task.Residues, table) && ReadEffectsDatabase(residues, task.Residues, table);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::filesystem::current_path("/");
  std::filesystem::remove_all(dir);
  if (!loaded) return 1;

  const double dense_pairs = 18.0 * PairSlotCount(6) * kDescriptorCells * kDescriptorCells *
                             sizeof(void*) / (1024.0 * 1024.0);
  std::printf("lines per file: 1 terminal, %u single, %u pair; 9 hexoses x 2 forms\n", 4 * singles,
              6 * pairs);
  std::printf("shift table: %.1f MB held (a dense pair grid of references would need %.0f MB)\n",
              static_cast<double>(table.AllocatedBytes()) / (1024.0 * 1024.0), dense_pairs);
  std::printf("loading: %.2f s, peak resident: %ld kB\n", seconds, PeakResidentKb());
  table.Release();
  return 0;
}
