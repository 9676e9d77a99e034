// The whole search on several threads: the passes (a topology and a start node each) are handed
// out in catalogue order, each worker searches its passes with its own table, and what the passes
// found is merged into the one best-structure table in the order of generation, so that the table
// and the count of structures checked are those of the literal enumeration on one thread.
#pragma once

#include <cstdint>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "search/best_structures.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

struct tSearchOptions {
  unsigned Threads = 1;
  bool Bounds = true;          // skip subtrees whose deviations all lie above the threshold
  double StartTime = 0;        // of the search, in days, for the progress line
  std::int32_t SequenceEstimate = 1;
};

struct tSearchCounts {
  std::int64_t StructuresChecked = 0;  // as the literal enumeration counts them
  std::int64_t Scored = 0;             // candidates whose deviation was calculated
  std::int32_t Sequences = 0;          // sequences that passed the checks
};

// The number of threads to search with: GLYCOMB_THREADS when it holds a number from 1 on, else
// every core.
unsigned SearchThreads();

// Searches every topology of the table (those of Shape 2 only without WIDESPREAD) from each of its
// start nodes and leaves the best candidates in `best` (sized for the task). Shows the progress
// line once per sequence. A stop request ends the run (HaltRun) after the sequences in progress; a
// candidate that cannot be calculated ends it with the message the literal search would print.
tSearchCounts RunSearch(const tTask& task, const tResidueTable& residues,
                        const tTopologyTable& topologies, const tShiftTable& shifts,
                        tBestStructures& best, const tSearchOptions& options);

}  // namespace glycomb
