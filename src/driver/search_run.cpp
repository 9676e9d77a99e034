#include <algorithm>
#include <iostream>
#include <new>
#include <vector>

#include "checkpoint/checkpoint_file.hpp"
#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "console/stop_token.hpp"
#include "driver/run.hpp"
#include "input/task_file.hpp"
#include "report/report.hpp"
#include "results/result_file.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/passes.hpp"
#include "search/search.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {
namespace {

// Sizes the best-structure table before the enumeration, so that keeping a candidate never
// allocates.
void SizeSearchTables(tRun& run) {
  const tTask& task = run.Task;
  std::vector<std::uint8_t> name_of_entry;
  try {
    name_of_entry.resize(task.Residues.size());
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory for generated spectrum storage");
  }
  for (std::size_t i = 0; i < task.Residues.size(); ++i) {
    name_of_entry[i] = task.Residues[i].NameIndex;
  }
  run.BestStructures.Create(task.Limit, task.ResidueCount, name_of_entry,
                            OnePerPolymer(task) ? &run.Topologies : nullptr);
}

std::string ElapsedTimeLine(double elapsed) {
  const tDayTime time = SplitDays(elapsed);
  // Hundredths of a second, rounded half to even.
  int hundredths = time.Milliseconds / 10;
  const int rest = time.Milliseconds % 10;
  if (rest > 5 || (rest == 5 && hundredths % 2 == 1)) ++hundredths;
  return "Elapsed time is " + DayPrefix(Narrow<std::uint16_t>(time.Days)) + std::to_string(time.Hours) + ":" +
         std::to_string(time.Minutes) + ":" + std::to_string(time.Seconds) + "." +
         std::to_string(hundredths) + std::string(33, ' ');
}

// The first `count` structures of the sorted table, each calculated on its own as /CALC
// calculates it: for the carbon table of the result file (the best) and the report (all).
std::vector<tStructureModel> CalculateKept(const tRun& run, std::size_t count) {
  std::vector<tStructureModel> calculated(count);
  for (std::size_t i = 0; i < count; ++i) {
    calculated[i].WorkingStructure = run.BestStructures.Entry(i).Structure;
    CalculateWorkingStructure(calculated[i], {run.Task, run.Residues, run.Topologies, run.Shifts});
  }
  return calculated;
}

}  // namespace

void RunSearchMode(tRun& run, const std::string& task_file) {
  if (!ReadTaskFile(task_file, run.Residues, run.Task)) HaltRun();
  if (!BuildTopologyCatalogue(run.Task.ResidueCount, run.Topologies)) HaltRun();
  const std::uint16_t carbon_count = LoadReferenceData(run);
  const tMeasuredSpectrum measured(run.Task);
  const tStopToken stop(RunFlag);

  const double start_time = Now();
  SizeSearchTables(run);
  const std::size_t pass_count = SearchPasses(run.Task, run.Topologies).size();
  tSearchOptions options;
  options.Threads = SearchThreads();
  options.StartTime = start_time;
  options.SequenceEstimate = SequenceEstimate(run.Task, pass_count);
  tCheckpointFile checkpoint(task_file, run.Task, run.Residues, run.Topologies, pass_count,
                             kProgramVersion);

  std::cout << "Pressing Ctrl-Break cancels the calculation\n"
            << "The top estimation for the number of sequences is "
            << FormatCount(options.SequenceEstimate) << '\n'
            << std::flush;
  checkpoint.Resume(run.BestStructures, options);
  options.Merged = [&checkpoint](const tSearchPoint& point, const tBestStructures& best) {
    checkpoint.Merged(point, best);
  };
  if (stop.StopRequested()) HaltRun();

  const tSearchCounts counts =
      RunSearch({run.Task, run.Residues, run.Topologies, run.Shifts, measured}, run.BestStructures,
                options, stop);

  const double elapsed = Now() - start_time;
  std::cout << ElapsedTimeLine(elapsed) << '\n'
            << FormatCount(counts.StructuresChecked) << " structures checked.\n"
            << std::flush;
  run.BestStructures.SortByDeviation();
  const bool report = run.Task.Report != 0;
  const std::size_t kept = run.BestStructures.BestCount();
  const std::vector<tStructureModel> calculated =
      CalculateKept(run, report ? kept : run.Task.SpinSystems != 0 ? std::min<std::size_t>(kept, 1) : 0);
  const auto written =
      WriteResultFile(run.Task.ResultFileName, run.BestStructures, run.Topologies, run.Task,
                      run.Residues, carbon_count, stop, calculated.empty() ? nullptr : &calculated[0]);
  // A stop request has said that the run ends without a result.
  if (!written && !stop.StopRequested()) {
    std::cout << "\nThe calculation result was not written into " << run.Task.ResultFileName
              << '\n'
              << std::flush;
  }
  if (written) {
    checkpoint.Remove();
    std::cout << "\nThe calculation result was written into " << *written << '\n' << std::flush;
  }
  // The report keeps the search even when the result file could not be written.
  if (report && !stop.StopRequested()) {
    tSearchReport search_report =
        BuildSearchReport({run.Task, run.Residues, run.Topologies}, run.BestStructures, calculated,
                          carbon_count, counts.StructuresChecked, elapsed);
    search_report.Task.ResultFile = written ? *written : "";
    WriteSearchReport(task_file, std::move(search_report));
  }
  HaltRun();
}

}  // namespace glycomb
