// /MERGE: the parts of the shards of a search, merged in the order of the passes into the table of
// the whole search, which then ends as the whole search ends.
#include <algorithm>
#include <iostream>
#include <tuple>
#include <vector>

#include "checkpoint/checkpoint_file.hpp"
#include "checkpoint/shard_part.hpp"
#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "console/stop_token.hpp"
#include "console/text_file.hpp"
#include "driver/run.hpp"
#include "input/file_names.hpp"
#include "input/task_file.hpp"
#include "search/passes.hpp"
#include "search/search.hpp"

namespace glycomb {
namespace {

constexpr char kPartExtension[] = ".PRT";
// What one part may hold: a few records per pass and per entry of the table.
constexpr std::size_t kMaxPartBytes = std::size_t{1} << 30;

[[noreturn]] void PartError(const std::string& message) {
  try {
    FatalError(message);
  } catch (const EErrorStop&) {
    HaltRun();
  }
}

// The part files of the task, one for each shard 1..N of a single split N, in shard order; any
// other set ends the run with a message naming the file at fault.
std::vector<std::string> PartSet(const std::string& task_file) {
  std::vector<tPartFile> files = FindPartFiles(task_file);
  const std::string task_name = ForceExtension(task_file, ".TSK");
  if (files.empty()) {
    PartError("No part of " + task_name + " was found: each shard K of N writes " +
              ForceExtension(task_file, ".KOFN.PRT"));
  }
  std::sort(files.begin(), files.end(), [](const tPartFile& a, const tPartFile& b) {
    return std::tie(a.Shard.N, a.Shard.K, a.Path) < std::tie(b.Shard.N, b.Shard.K, b.Path);
  });
  const unsigned n = files.front().Shard.N;
  if (files.back().Shard.N != n) {
    PartError("The parts " + files.front().Path + " and " + files.back().Path +
              " are of different divisions of the search (" + std::to_string(n) + " and " +
              std::to_string(files.back().Shard.N) + " shards)");
  }
  std::vector<std::string> paths(n);
  for (const tPartFile& file : files) {
    std::string& path = paths[file.Shard.K - 1];
    if (!path.empty()) PartError("The part " + path + " is there twice: " + path + " and " + file.Path);
    path = file.Path;
  }
  for (unsigned k = 1; k <= n; ++k) {
    if (paths[k - 1].empty()) {
      PartError("The part " + ShardFileName(task_file, {k, n}, kPartExtension) +
                " is missing: shard " + std::to_string(k) + " of " + std::to_string(n) +
                " has not ended");
    }
  }
  return paths;
}

}  // namespace

void RunMergeMode(tRun& run, const std::string& task_file) {
  if (!ReadTaskFile(task_file, run.Residues, run.Task)) HaltRun();
  if (!BuildTopologyCatalogue(run.Task.ResidueCount, run.Topologies)) HaltRun();
  const std::uint16_t carbon_count = LoadReferenceData(run);
  const tStopToken stop(RunFlag);

  const double start_time = Now();
  SizeSearchTables(run);
  const std::size_t pass_count = SearchPasses(run.Task, run.Topologies).size();
  const std::int32_t estimate = SequenceEstimate(run.Task, pass_count);
  const std::string fingerprint =
      SearchFingerprint(task_file, run.Task, run.Residues, kProgramVersion);
  ShowSearchStart(estimate);

  const std::vector<std::string> paths = PartSet(task_file);
  const unsigned n = static_cast<unsigned>(paths.size());
  std::int64_t checked = 0;
  std::int32_t sequences = 0;
  for (unsigned k = 1; k <= n; ++k) {
    const std::string& path = paths[k - 1];
    std::string text;
    const auto error = ReadWholeFile(path, text, kMaxPartBytes);
    const auto part = error ? std::nullopt : ParsePart(text, run.Task.ResidueCount);
    if (!part) PartError("The part " + path + " cannot be read: it is incomplete or damaged");
    if (part->Fingerprint != fingerprint || part->PassCount != pass_count ||
        !RecordsFitTask(part->Handed.Records, run.Task, run.Topologies)) {
      PartError("The part " + path +
                " is of another task, other reference data or another program");
    }
    const tPassRange passes = ShardPasses(pass_count, {k, n});
    if (!(part->Shard == tShard{k, n}) || part->Passes.First != passes.First ||
        part->Passes.End != passes.End) {
      PartError("The part " + path + " is not shard " + std::to_string(k) + " of " +
                std::to_string(n) + " of this search");
    }
    checked = CheckedAdd<std::int64_t>(checked, MergeShardRecords(part->Handed, run.BestStructures));
    sequences = CheckedAdd<std::int32_t>(sequences, part->Sequences);
    if (stop.StopRequested()) HaltRun();
  }
  // The progress line of the whole search at its end.
  if (sequences > 0) ShowProgressSince(sequences, estimate, start_time);
  FinishSearch(run, task_file, checked, start_time, carbon_count, stop, [] {});
  HaltRun();
}

}  // namespace glycomb
