#include "support/in_process.hpp"

#include <atomic>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <sstream>

#include "checkpoint/shard_part.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "databases/names_database.hpp"
#include "driver/run.hpp"
#include "input/structure_notation.hpp"
#include "input/task_file.hpp"
#include "results/result_file.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/passes.hpp"
#include "search/search.hpp"
#include "support/literal_search.hpp"
#include "spectrum/spectrum_calculation.hpp"
#include "support/temp_dir.hpp"

namespace glycomb::testing {
namespace {

// Collects standard output while alive.
class CollectedOutput {
 public:
  CollectedOutput() : saved_(std::cout.rdbuf(sink_.rdbuf())) {}
  ~CollectedOutput() { std::cout.rdbuf(saved_); }
  CollectedOutput(const CollectedOutput&) = delete;
  CollectedOutput& operator=(const CollectedOutput&) = delete;
  std::string Text() const { return sink_.str(); }

 private:
  std::ostringstream sink_;
  std::streambuf* saved_;
};

// Reads the names database, the task and the topology catalogue as the program does before a
// search; false when a reading step failed (its message is on standard output).
bool ReadTask(const std::string& task, tRun& run) {
  return ReadNamesDatabase(run.Residues) && ReadTaskFile(task, run.Residues, run.Task) &&
         BuildTopologyCatalogue(run.Task.ResidueCount, run.Topologies);
}

// An empty best-structure table of the task, as the driver creates it.
tBestStructures EmptyTable(const tRun& run) {
  std::vector<std::uint8_t> name_of_entry;
  for (const tTaskResidue& entry : run.Task.Residues) name_of_entry.push_back(entry.NameIndex);
  tBestStructures best;
  best.Create(run.Task.Limit, run.Task.ResidueCount, name_of_entry,
              OnePerPolymer(run.Task) ? &run.Topologies : nullptr);
  return best;
}

// Sorts the run's table and writes its result file afresh, as the driver does; false when it
// was not written.
bool WriteResult(tRun& run, std::uint16_t carbons, const tStopToken& stop) {
  run.BestStructures.SortByDeviation();
  std::remove(run.Task.ResultFileName.c_str());
  return WriteResultFile(run.Task.ResultFileName, run.BestStructures, run.Topologies, run.Task,
                         run.Residues, carbons, stop)
      .has_value();
}

std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

tCalcOutcome CalcInProcess(const std::string& directory, const std::string& record) {
  ScopedWorkingDirectory here(directory);
  CollectedOutput quiet;
  tCalcOutcome outcome;
  tRun run;
  run.Task.CalcMode = 1;
  try {
    if (!ReadNamesDatabase(run.Residues)) return outcome;
    ParseStructureRecord(record, "", run.Residues, run.Task, run.Topologies,
                         run.Model.WorkingStructure);
    LoadReferenceData(run);
    CalculateWorkingStructure(run.Model, {run.Task, run.Residues, run.Topologies, run.Shifts});
  } catch (const EErrorStop&) {
    return outcome;
  } catch (const ERunHalted&) {
    return outcome;
  }
  outcome.Calculated = true;
  outcome.Spectrum = run.Model.CalculatedSpectrum;
  outcome.CarbonOffsets = run.Model.CarbonOffsets;
  outcome.NodeOfToken = run.Topologies.at(run.Model.WorkingStructure.Topology).WrittenOrder;
  return outcome;
}

bool LoadInProcess(const std::string& directory, const std::string& task, tRun& run) {
  ScopedWorkingDirectory here(directory);
  CollectedOutput quiet;
  try {
    if (!ReadTask(task, run)) return false;
    LoadReferenceData(run);
    return true;
  } catch (const ERunHalted&) {
    return false;
  }
}

tSearchOutcome SearchInProcess(const std::string& directory, const std::string& task,
                               const tSearchMode& mode) {
  ScopedWorkingDirectory here(directory);
  tSearchOutcome outcome;
  tRun run;
  {
    CollectedOutput quiet;
    try {
      if (!ReadTask(task, run)) return outcome;
      const std::uint16_t carbons = LoadReferenceData(run);
      run.BestStructures = EmptyTable(run);
      const tMeasuredSpectrum measured(run.Task);
      const tSearchTables tables{run.Task, run.Residues, run.Topologies, run.Shifts, measured};
      tSearchOptions options;
      options.Threads = mode.Threads;
      options.StartTime = Now();
      options.SequenceEstimate = 1 << 30;
      const std::atomic<bool> go{true};
      const tStopToken never(go);
      const tSearchCounts counts = mode.Literal
                                       ? LiteralSearch(tables, run.BestStructures, options, never)
                                       : RunSearch(tables, run.BestStructures, options, never);
      outcome.Checked = counts.StructuresChecked;
      outcome.Scored = counts.Scored;
      if (!WriteResult(run, carbons, never)) return outcome;
    } catch (const EErrorStop&) {
      outcome.Output = quiet.Text();
      return outcome;
    } catch (const ERunHalted&) {
      outcome.Output = quiet.Text();
      return outcome;
    }
    outcome.Output = quiet.Text();
  }
  outcome.Completed = true;
  outcome.Result = FileText(run.Task.ResultFileName);
  for (std::size_t i = 0; i < run.BestStructures.BestCount(); ++i) {
    const tResultRecord& record = run.BestStructures.Entry(i);
    outcome.Kept.push_back(record);
    std::string shape, written;
    StructureToText(record.Structure, run.Topologies, run.Task, run.Residues, shape, written);
    outcome.KeptText.push_back(written);
  }
  return outcome;
}

tSearchOutcome ShardedSearchInProcess(const std::string& directory, const std::string& task,
                                      unsigned shards, unsigned threads) {
  ScopedWorkingDirectory here(directory);
  tSearchOutcome outcome;
  tRun run;
  CollectedOutput quiet;
  try {
    if (!ReadTask(task, run)) return outcome;
    const std::uint16_t carbons = LoadReferenceData(run);
    const tMeasuredSpectrum measured(run.Task);
    const tSearchTables tables{run.Task, run.Residues, run.Topologies, run.Shifts, measured};
    const std::size_t pass_count = SearchPasses(run.Task, run.Topologies).size();
    const std::atomic<bool> go{true};
    const tStopToken never(go);
    std::vector<std::string> parts;
    for (unsigned k = 1; k <= shards; ++k) {
      tPart part{"fingerprint", {k, shards}, pass_count, ShardPasses(pass_count, {k, shards}), 0,
                 {}};
      tBestStructures shard_best = EmptyTable(run);
      tSearchOptions options;
      options.Threads = threads;
      options.StartTime = Now();
      options.SequenceEstimate = 1 << 30;
      options.Passes = part.Passes;
      options.Handed = &part.Handed;
      part.Sequences = RunSearch(tables, shard_best, options, never).Sequences;
      parts.push_back(PartText(part));
    }
    run.BestStructures = EmptyTable(run);
    for (const std::string& text : parts) {
      const auto part = ParsePart(text, run.Task.ResidueCount);
      if (!part) return outcome;
      outcome.Checked += MergeShardRecords(part->Handed, run.BestStructures);
    }
    if (!WriteResult(run, carbons, never)) return outcome;
  } catch (const EErrorStop&) {
    outcome.Output = quiet.Text();
    return outcome;
  } catch (const ERunHalted&) {
    outcome.Output = quiet.Text();
    return outcome;
  }
  outcome.Completed = true;
  outcome.Result = FileText(run.Task.ResultFileName);
  return outcome;
}

}  // namespace glycomb::testing
