// The tables of one run, owned by the driver and handed to every subsystem by reference, and the
// two run modes.
#pragma once

#include <string>

#include "databases/names_database.hpp"
#include "input/task.hpp"

namespace glycomb {

struct tRun {
  tResidueTable Residues;
  tTask Task;
};

// The /CALC mode: reads the structure file, calculates and prints the spectrum, ends with HaltRun.
[[noreturn]] void RunCalculationMode(tRun& run, const std::string& structure_file);

// The search: reads the task, enumerates and scores all structures, writes the result file, ends
// with HaltRun.
[[noreturn]] void RunSearchMode(tRun& run, const std::string& task_file);

}  // namespace glycomb
