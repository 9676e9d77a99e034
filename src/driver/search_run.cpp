#include <iostream>
#include <new>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "driver/run.hpp"
#include "input/task_file.hpp"
#include "results/result_file.hpp"
#include "search/structure_search.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {
namespace {

// Sizes the working structure and the best-structure table before the enumeration, so that the
// search allocates nothing per candidate.
void SizeSearchTables(tRun& run) {
  const tTask& task = run.Task;
  std::vector<std::uint8_t> name_of_entry;
  try {
    run.Model.WorkingStructure.Nodes.assign(task.ResidueCount, tStructureNode{});
    name_of_entry.resize(task.Residues.size());
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory for generated spectrum storage");
  }
  for (std::size_t i = 0; i < task.Residues.size(); ++i) {
    name_of_entry[i] = task.Residues[i].NameIndex;
  }
  run.BestStructures.Create(task.Limit, task.ResidueCount, name_of_entry);
}

// (n - 1)! times the number of start nodes of the topologies that are searched.
std::int32_t SequenceEstimate(const tRun& run) {
  std::uint16_t start_nodes = 0;
  for (const tTopology& topology : run.Topologies) {
    if (run.Task.WideSpread != 0 && topology.Shape == kShapeRare) continue;
    start_nodes = CheckedAdd<std::uint16_t>(
        start_nodes, CheckedSub<std::uint8_t>(run.Task.ResidueCount, topology.NonStartCount));
  }
  return CheckedMul<std::int32_t>(
      Factorial(CheckedSub<std::uint8_t>(run.Task.ResidueCount, 1)), start_nodes);
}

std::string ElapsedTimeLine(double elapsed) {
  const tDayTime time = SplitDays(elapsed);
  ScratchText = DayPrefix(Narrow<std::uint16_t>(time.Days));
  // Hundredths of a second, rounded half to even.
  int hundredths = time.Milliseconds / 10;
  const int rest = time.Milliseconds % 10;
  if (rest > 5 || (rest == 5 && hundredths % 2 == 1)) ++hundredths;
  return "Elapsed time is " + ScratchText + std::to_string(time.Hours) + ":" +
         std::to_string(time.Minutes) + ":" + std::to_string(time.Seconds) + "." +
         std::to_string(hundredths) + std::string(33, ' ');
}

}  // namespace

void RunSearchMode(tRun& run, const std::string& task_file) {
  if (!ReadTaskFile(task_file, run.Residues, run.Task)) HaltRun();
  if (!BuildTopologyCatalogue(run.Task.ResidueCount, run.Topologies)) HaltRun();
  const std::uint16_t carbon_count = LoadReferenceData(run);

  const double start_time = Now();
  SizeSearchTables(run);
  tSpectrumCalculator calculator(run.Task, run.Residues, run.Topologies, run.Shifts, run.Model);
  tStructureSearch search(run.Task, run.Residues, run.Topologies, run.Model, calculator,
                          run.BestStructures);
  search.SearchStartTime = start_time;
  search.SequenceEstimate = SequenceEstimate(run);

  std::cout << "Pressing Ctrl-Break cancels the calculation\n"
            << "The top estimation for the number of sequences is "
            << FormatCount(search.SequenceEstimate) << '\n'
            << std::flush;
  if (!RunFlag.load()) HaltRun();

  search.SearchAllTopologies();

  std::cout << ElapsedTimeLine(Now() - start_time) << '\n'
            << FormatCount(run.Model.StructuresChecked) << " structures checked.\n"
            << std::flush;
  const auto written = WriteResultFile(run.Task.ResultFileName, run.BestStructures,
                                       run.Topologies, run.Task, run.Residues, carbon_count);
  // A stop request has said that the run ends without a result.
  if (!written && RunFlag.load()) {
    std::cout << "\nThe calculation result was not written into " << run.Task.ResultFileName
              << '\n'
              << std::flush;
  }
  if (written) {
    std::cout << "\nThe calculation result was written into " << *written << '\n' << std::flush;
  }
  HaltRun();
}

}  // namespace glycomb
