#include <iostream>
#include <memory>
#include <new>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "driver/run.hpp"
#include "input/task_file.hpp"
#include "report/report.hpp"
#include "results/result_file.hpp"
#include "search/parallel_search.hpp"
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

// The best structure calculated carbon by carbon, as /CALC would calculate and label it.
std::unique_ptr<tBestCarbons> BestStructureCarbons(const tRun& run, const tResultRecord& best) {
  auto carbons = std::make_unique<tBestCarbons>();
  tTask& labels = carbons->Labels;
  labels = run.Task;
  labels.CalcMode = 1;
  tStructureModel& model = carbons->Model;
  model.WorkingStructure = best.Structure;
  BuildCarbonOffsets(model, labels, run.Residues);
  SizeSpectrumArrays(model, labels, run.Residues);
  tSpectrumCalculator calculator(labels, run.Residues, run.Topologies, run.Shifts, model);
  calculator.CalculateSpectrum();
  // Label every residue with the configurations the structure gives it.
  for (const tStructureNode& node : best.Structure.Nodes) {
    tTaskResidue& entry = At(labels.Residues, node.Residue);
    const tNameRecord& record = At(run.Residues, entry.NameIndex);
    const bool anomeric_forms = entry.NameIndex != 0 && record.RingKind < kAlditol;
    entry.Anomeric = anomeric_forms ? node.Anomeric : kAnomericNone;
    entry.Absolute = node.Absolute;
  }
  return carbons;
}

}  // namespace

void RunSearchMode(tRun& run, const std::string& task_file) {
  if (!ReadTaskFile(task_file, run.Residues, run.Task)) HaltRun();
  if (!BuildTopologyCatalogue(run.Task.ResidueCount, run.Topologies)) HaltRun();
  const std::uint16_t carbon_count = LoadReferenceData(run);

  const double start_time = Now();
  SizeSearchTables(run);
  tSearchOptions options;
  options.Threads = SearchThreads();
  options.StartTime = start_time;
  options.SequenceEstimate = SequenceEstimate(run);

  std::cout << "Pressing Ctrl-Break cancels the calculation\n"
            << "The top estimation for the number of sequences is "
            << FormatCount(options.SequenceEstimate) << '\n'
            << std::flush;
  if (!RunFlag.load()) HaltRun();

  const tSearchCounts counts =
      RunSearch(run.Task, run.Residues, run.Topologies, run.Shifts, run.BestStructures, options);

  const double elapsed = Now() - start_time;
  std::cout << ElapsedTimeLine(elapsed) << '\n'
            << FormatCount(counts.StructuresChecked) << " structures checked.\n"
            << std::flush;
  std::unique_ptr<tBestCarbons> best_carbons;
  if (run.Task.SpinSystems != 0 && run.BestStructures.BestCount() > 0) {
    run.BestStructures.SortByDeviation();
    best_carbons = BestStructureCarbons(run, run.BestStructures.Entry(0));
  }
  const auto written =
      WriteResultFile(run.Task.ResultFileName, run.BestStructures, run.Topologies, run.Task,
                      run.Residues, carbon_count, best_carbons.get());
  // A stop request has said that the run ends without a result.
  if (!written && RunFlag.load()) {
    std::cout << "\nThe calculation result was not written into " << run.Task.ResultFileName
              << '\n'
              << std::flush;
  }
  if (written) {
    std::cout << "\nThe calculation result was written into " << *written << '\n' << std::flush;
  }
  // The report keeps the search even when the result file could not be written.
  if (run.Task.Report != 0 && RunFlag.load()) {
    tSearchReport report =
        BuildSearchReport({run.Task, run.Residues, run.Topologies, run.Shifts},
                          run.BestStructures, carbon_count, counts.StructuresChecked, elapsed);
    report.Task.ResultFile = written ? *written : "";
    WriteSearchReport(task_file, std::move(report));
  }
  HaltRun();
}

}  // namespace glycomb
