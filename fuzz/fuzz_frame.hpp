// The frame that every reader harness shares. A harness hands the fuzz input to one reader of the
// program as the contents of the file that the reader opens, in a working directory of its own
// that holds the shipped NAMES.PS. The console stays quiet and every question the reader asks is
// answered at once by the end of input, so that no input can make a harness wait.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "databases/names_database.hpp"

namespace glycomb::fuzz {

// Sets up the process once; every harness calls it first.
void SetUp();

// Makes the private directory the working directory while alive, so that the readers find their
// files there, and returns to the previous one afterwards (libFuzzer writes its corpus and crash
// files relative to that one).
class InFuzzDirectory {
 public:
  InFuzzDirectory();
  ~InFuzzDirectory();
  InFuzzDirectory(const InFuzzDirectory&) = delete;
  InFuzzDirectory& operator=(const InFuzzDirectory&) = delete;

 private:
  int previous_;
};

// Replaces the contents of `name` (relative to the private directory) by the `size` bytes at
// `data`.
void WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size);

// The residue table of the shipped NAMES.PS.
const tResidueTable& ShippedResidues();

}  // namespace glycomb::fuzz
