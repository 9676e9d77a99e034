// The tables of one run, owned by the driver and handed to every subsystem by reference, and the
// run modes.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "console/stop_token.hpp"

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

// Sizes the best-structure table for the task before the search, so that keeping a candidate
// never allocates.
void SizeSearchTables(tRun& run);

// The lines a search begins with: how to cancel it and the estimate of its sequences.
void ShowSearchStart(std::int32_t estimate);

// The end of a search whose table `run.BestStructures` is complete: the elapsed time line and the
// structures checked, the result file (then `written` is called) and, with REPORT, the report.
void FinishSearch(tRun& run, const std::string& task_file, std::int64_t checked,
                  double start_time, std::uint16_t carbon_count, const tStopToken& stop,
                  const std::function<void()>& written);

// The line that says how long a run took.
std::string ElapsedTimeLine(double elapsed);

// /MERGE: reads the task and the parts its shards wrote, merges them in the order of the passes
// and ends as the whole search would, with the result file; ends with HaltRun.
[[noreturn]] void RunMergeMode(tRun& run, const std::string& task_file);

// The search: reads the task, enumerates and scores all structures, writes the result file, ends
// with HaltRun. With GLYCOMB_SHARD=K/N it searches only shard K of N of the passes and writes
// what the merge needs, TASK.KOFN.PRT, instead.
[[noreturn]] void RunSearchMode(tRun& run, const std::string& task_file);

}  // namespace glycomb
