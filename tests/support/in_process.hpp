// Runs the program's two modes inside the test process on reference data in a directory, for
// property tests that need many runs and the program's own tables rather than its console.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "driver/run.hpp"
#include "search/best_structures.hpp"

namespace glycomb::testing {

// The spectrum of a /CALC run of `record` on the reference data in `directory`, in carbon order,
// and the index of C1 of the residue at each node (the last entry is the number of carbons).
struct tCalcOutcome {
  bool Calculated = false;  // false when a reader or the calculation ended the run
  std::vector<std::int32_t> Spectrum;
  std::vector<std::uint8_t> CarbonOffsets;
  std::vector<std::uint8_t> NodeOfToken;  // the node of each residue token, in written order
};
tCalcOutcome CalcInProcess(const std::string& directory, const std::string& record);

// A search of the task file `task` (written into `directory` beforehand) on the reference data
// in `directory`, with the console output discarded. The result file is written as the program
// writes it.
struct tSearchOutcome {
  bool Completed = false;  // false when a reader or the search ended the run
  std::string Output;      // what the run printed
  std::string Result;      // the .RES file
  std::int64_t Checked = 0;
  std::int64_t Scored = 0;  // candidates whose deviation was calculated
  std::vector<tResultRecord> Kept;  // sorted by deviation as the result file lists them
  std::vector<std::string> KeptText;  // their written forms
};
// How the search runs: the literal enumeration (the reference), or the pruned one on `Threads`
// threads.
struct tSearchMode {
  bool Literal = true;
  unsigned Threads = 1;
};
// Loads the task file `task` (written into `directory` beforehand) and the reference data in
// `directory` into `run` as the search mode does; false, with the output discarded, when a reader
// fails.
bool LoadInProcess(const std::string& directory, const std::string& task, tRun& run);

tSearchOutcome SearchInProcess(const std::string& directory, const std::string& task,
                               const tSearchMode& mode = {});

// The search of `task` divided into `shards` shards, each searched on its own (on `threads`
// threads) into a part that is written out and read back, then the parts merged in shard order as
// /MERGE merges them. Completed when every shard and the merge completed.
tSearchOutcome ShardedSearchInProcess(const std::string& directory, const std::string& task,
                                      unsigned shards, unsigned threads);

}  // namespace glycomb::testing
