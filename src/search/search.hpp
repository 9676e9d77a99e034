// The search: every structure the task allows, enumerated in the order of generation, scored
// against the measured spectrum, the best kept. Exact and divided: the passes are shared out among
// threads and a subtree is only counted when a lower bound proves that none of its candidates can
// enter the table, yet the table and the count of structures checked are those of the literal
// enumeration on one thread. docs/search.md is the contract.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "console/stop_token.hpp"
#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/passes.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The loaded tables of a search; they must outlive it. `Measured` is the task's spectrum as the
// scores read it, built once for the run.
struct tSearchTables {
  const tTask& Task;
  const tResidueTable& Residues;
  const tTopologyTable& Topologies;
  const tShiftTable& Shifts;
  const tMeasuredSpectrum& Measured;
};

struct tSearchCounts {
  std::int64_t StructuresChecked = 0;  // as the literal enumeration counts them
  std::int64_t Scored = 0;             // candidates whose deviation was calculated
  std::int32_t Sequences = 0;          // sequences that passed the checks
};

// How far a search has come: its first `PassesDone` passes are merged into the table, with these
// counts. A search resumed from it gives the table and counts of the uninterrupted search.
struct tSearchPoint {
  std::size_t PassesDone = 0;
  tSearchCounts Counts;
};

// What a shard (a range of the passes) hands on to the merge of every shard, in the order of
// generation: each candidate that its own table, started empty at its first pass, did not reject
// by its sum (kept, a duplicate of a kept entry, or equal to the worst), and the number of the
// others. docs/search.md, "Shards", says why merging these in pass order is exact.
struct tShardRecords {
  std::vector<tResultRecord> Records;
  std::int64_t Unrecorded = 0;
};

struct tSearchOptions {
  unsigned Threads = 1;
  bool Bounds = true;    // skip subtrees whose deviations all lie above the threshold
  double StartTime = 0;  // of the search, in days, for the progress line
  std::int32_t SequenceEstimate = 1;
  // Resumes a search: its table (the `best` of RunSearch) and counts after `Resume.PassesDone`
  // passes; the search goes on with the pass after them.
  tSearchPoint Resume;
  // Searches only these passes (all of them when unset), as if they were the whole search:
  // `Resume.PassesDone` and the passes of `Merged` count from the first of them.
  std::optional<tPassRange> Passes;
  // When set, collects what this range of passes hands on to a merge (`Resume` restores it too).
  tShardRecords* Handed = nullptr;
  // Called after every pass merged, with the table after it (both valid during the call only).
  std::function<void(const tSearchPoint& point, const tBestStructures& best)> Merged;
  // For tests of the failure paths: called by a worker before it searches pass `pass`.
  std::function<void(std::size_t pass)> BeforePass;
};

// The number of threads to search with: GLYCOMB_THREADS when it holds a number from 1 on, else
// every core.
unsigned SearchThreads();

// Searches every pass of the task and leaves the best candidates in `best` (sized for the task).
// Shows the progress line (at most about ten times a second). A stop request (`stop`) ends the run (HaltRun) after
// the sequences in progress; a candidate that cannot be calculated ends it with the message the
// literal enumeration would print. An exception inside a worker ends every worker and is raised
// again here.
tSearchCounts RunSearch(const tSearchTables& tables, tBestStructures& best,
                        const tSearchOptions& options, const tStopToken& stop);

// Offers the records of a shard to `best` as the merge of passes offers a pass result, and returns
// the structures checked they add. Shards merged in pass order into an empty table give the table
// and count of the whole search.
std::int64_t MergeShardRecords(const tShardRecords& records, tBestStructures& best);

}  // namespace glycomb
