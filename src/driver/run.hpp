// The tables of one run, owned by the driver and handed to every subsystem by reference, and the
// two run modes.
#pragma once

#include <string>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "search/best_structures.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The program's version, as the banner shows it.
inline constexpr char kProgramVersion[] = "3.03";

struct tRun {
  tResidueTable Residues;
  tTask Task;
  tTopologyTable Topologies;
  tShiftTable Shifts;
  tStructureModel Model;
  tBestStructures BestStructures;
};

// Reads the shift and effects databases for the composition of the task and sizes the spectrum
// arrays; returns the number of carbons. A failed step ends the run (HaltRun).
std::uint16_t LoadReferenceData(tRun& run);

// The /CALC mode: reads the structure file, calculates and prints the spectrum, ends with HaltRun.
[[noreturn]] void RunCalculationMode(tRun& run, const std::string& structure_file);

// The search: reads the task, enumerates and scores all structures, writes the result file, ends
// with HaltRun.
[[noreturn]] void RunSearchMode(tRun& run, const std::string& task_file);

}  // namespace glycomb
