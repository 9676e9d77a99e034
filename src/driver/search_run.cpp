#include <algorithm>
#include <cstdlib>
#include <optional>
#include <iostream>
#include <new>
#include <vector>

#include "checkpoint/checkpoint_file.hpp"
#include "confidence/probability.hpp"
#include "checkpoint/shard_part.hpp"
#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "console/stop_token.hpp"
#include "console/text_file.hpp"
#include "driver/run.hpp"
#include "input/task_file.hpp"
#include "report/report.hpp"
#include "results/result_file.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/outside_weight.hpp"
#include "search/passes.hpp"
#include "search/search.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {
namespace {

constexpr char kPartExtension[] = ".PRT";

// The shard GLYCOMB_SHARD asks for; nothing when it is unset or empty. Any other value ends the
// run with a message.
std::optional<tShard> ShardFromEnvironment() {
  const char* text = std::getenv("GLYCOMB_SHARD");
  if (text == nullptr || *text == '\0') return std::nullopt;
  if (auto shard = ParseShard(text)) return shard;
  try {
    FatalError("GLYCOMB_SHARD=" + std::string(text) + " names no shard: write K/N, with 1 <= K <= N <= " +
               std::to_string(kMaxShards));
  } catch (const EErrorStop&) {
    HaltRun();
  }
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

// Writes the part of a shard that has searched all its passes.
void WritePart(const std::string& task_file, const tPart& part) {
  const std::string path = ShardFileName(task_file, part.Shard, kPartExtension);
  if (const auto error = ReplaceFile(path, PartText(part))) {
    std::cout << "\nThe part of shard " << part.Shard.K << " of " << part.Shard.N
              << " was not written: " << WriteErrorText(*error, path) << '\n'
              << std::flush;
    HaltRun();
  }
  std::cout << "\nThe part of shard " << part.Shard.K << " of " << part.Shard.N
            << " was written into " << path << '\n'
            << std::flush;
}

}  // namespace

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

void RunSearchMode(tRun& run, const std::string& task_file) {
  const std::optional<tShard> shard = ShardFromEnvironment();
  if (!ReadTaskFile(task_file, run.Residues, run.Task)) HaltRun();
  if (!BuildTopologyCatalogue(run.Task.ResidueCount, run.Topologies)) HaltRun();
  const std::uint16_t carbon_count = LoadReferenceData(run);
  const tMeasuredSpectrum measured(run.Task);
  const tStopToken stop(RunFlag);

  const double start_time = Now();
  SizeSearchTables(run);
  const std::size_t pass_count = SearchPasses(run.Task, run.Topologies).size();
  const tPassRange passes = shard ? ShardPasses(pass_count, *shard) : tPassRange{0, pass_count};
  tShardRecords handed;
  tSearchOptions options;
  options.Threads = SearchThreads();
  options.StartTime = start_time;
  options.SequenceEstimate = SequenceEstimate(run.Task, pass_count);
  if (shard) {
    options.Passes = passes;
    options.Handed = &handed;
    options.SequenceEstimate =
        SequenceEstimate(run.Task, std::max<std::size_t>(1, passes.End - passes.First));
  }
  tCheckpointFile checkpoint(task_file, run.Task, run.Residues, run.Topologies,
                             passes.End - passes.First, kProgramVersion, shard,
                             shard ? &handed : nullptr);

  ShowSearchStart(SequenceEstimate(run.Task, pass_count));
  if (shard) {
    std::cout << "Shard " << shard->K << " of " << shard->N << ": ";
    if (passes.First == passes.End) {
      std::cout << "no passes (the search has " << pass_count << ")\n";
    } else if (passes.End - passes.First == 1) {
      std::cout << "pass " << passes.End << " of " << pass_count << '\n';
    } else {
      std::cout << "passes " << passes.First + 1 << " to " << passes.End << " of " << pass_count
                << '\n';
    }
  }
  std::cout << std::flush;
  checkpoint.Resume(run.BestStructures, options);
  options.Merged = [&checkpoint](const tSearchPoint& point, const tBestStructures& best) {
    checkpoint.Merged(point, best);
  };
  if (stop.StopRequested()) HaltRun();

  const tSearchCounts counts =
      RunSearch({run.Task, run.Residues, run.Topologies, run.Shifts, measured}, run.BestStructures,
                options, stop);

  if (shard) {
    std::cout << ElapsedTimeLine(Now() - start_time) << '\n' << std::flush;
    WritePart(task_file, {checkpoint.Fingerprint(), *shard, pass_count, passes, counts.Sequences,
                          std::move(handed)});
    checkpoint.Remove();
    HaltRun();
  }
  FinishSearch(run, task_file, counts.StructuresChecked, start_time, carbon_count, stop,
               [&checkpoint] { checkpoint.Remove(); });
  HaltRun();
}

void ShowSearchStart(std::int32_t estimate) {
  std::cout << "Pressing Ctrl-Break cancels the calculation\n"
            << "The top estimation for the number of sequences is " << FormatCount(estimate)
            << '\n'
            << std::flush;
}

namespace {

// The probabilities of the kept structures (sorted), for the tasks that carry them: the rest of
// the structures bounded by a pass over the task after the search. A stop request during that
// pass ends the run without a result, as during the search.
std::optional<tProbabilities> KeptProbabilities(const tRun& run, const tStopToken& stop) {
  // An empty list (no structure meets the LINK lines) has nothing to state.
  if (!ShowsProbabilities(run.Task) || run.BestStructures.BestCount() == 0) return std::nullopt;
  const double scale = kErrorScalePpm * 10;
  const tMeasuredSpectrum measured(run.Task);
  const std::optional<double> outside =
      OutsideWeight({run.Task, run.Residues, run.Topologies, run.Shifts, measured},
                    run.BestStructures, scale, kNegligibleWeight, SearchThreads(), stop);
  if (!outside) HaltRun();
  std::vector<std::uint32_t> sums;
  for (std::size_t i = 0; i < run.BestStructures.BestCount(); ++i) {
    sums.push_back(run.BestStructures.Entry(i).Deviation);
  }
  return StructureProbabilities(sums, *outside, scale);
}

}  // namespace

void FinishSearch(tRun& run, const std::string& task_file, std::int64_t checked,
                  double start_time, std::uint16_t carbon_count, const tStopToken& stop,
                  const std::function<void()>& on_written) {
  const double elapsed = Now() - start_time;
  std::cout << ElapsedTimeLine(elapsed) << '\n'
            << FormatCount(checked) << " structures checked.\n"
            << std::flush;
  run.BestStructures.SortByDeviation();
  const bool report = run.Task.Report != 0;
  const std::size_t kept = run.BestStructures.BestCount();
  const std::vector<tStructureModel> calculated =
      CalculateKept(run, report ? kept : run.Task.SpinSystems != 0 ? std::min<std::size_t>(kept, 1) : 0);
  const std::optional<tProbabilities> probabilities = KeptProbabilities(run, stop);
  const auto written =
      WriteResultFile(run.Task.ResultFileName, run.BestStructures, run.Topologies, run.Task,
                      run.Residues, carbon_count, stop, calculated.empty() ? nullptr : &calculated[0],
                      probabilities ? &*probabilities : nullptr);
  // A stop request has said that the run ends without a result.
  if (!written && !stop.StopRequested()) {
    std::cout << "\nThe calculation result was not written into " << run.Task.ResultFileName
              << '\n'
              << std::flush;
  }
  if (written) {
    on_written();
    std::cout << "\nThe calculation result was written into " << *written << '\n' << std::flush;
  }
  // The report keeps the search even when the result file could not be written.
  if (report && !stop.StopRequested()) {
    tSearchReport search_report =
        BuildSearchReport({run.Task, run.Residues, run.Topologies}, run.BestStructures, calculated,
                          carbon_count, checked, elapsed);
    search_report.Task.ResultFile = written ? *written : "";
    if (probabilities) {
      for (std::size_t i = 0; i < search_report.Structures.size(); ++i) {
        search_report.Structures[i].Probability = At(probabilities->Structures, i);
      }
      search_report.OutsideList = probabilities->Outside;
    }
    WriteSearchReport(task_file, std::move(search_report));
  }
}

}  // namespace glycomb
