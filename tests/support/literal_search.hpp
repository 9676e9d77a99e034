// The literal enumeration: every candidate of every pass in the order of generation, calculated
// and scored one by one and offered to the best-structure table. The reference that the pruned,
// threaded search of the program must equal, table and count; the tests and the benchmark run it.
#pragma once

#include "console/stop_token.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/search.hpp"
#include "search/sequence_enumerator.hpp"
#include "spectrum/spectrum_calculation.hpp"
#include "spectrum/structure_model.hpp"

namespace glycomb::testing {

// What enumerating and scoring the candidates of one task takes: the enumerator, the calculator,
// the scorer and a working structure sized for the task (`Model.WorkingStructure` holds the
// candidate). `tables` must outlive it.
struct tLiteralTools {
  explicit tLiteralTools(const tSearchTables& tables);
  // Calculates and scores the candidate held in the working structure (the calculation's
  // EErrorStop passes through when it cannot be calculated).
  tScore Score();

  const tSearchTables& Tables;
  const tSequenceEnumerator Enumerator;
  const tSpectrumCalculator Calculator;
  tSpectrumScorer Scorer;
  tStructureModel Model;
  signal_array Sorted;
  tSequenceChoices Choices;
};

// Searches as RunSearch does (same progress lines; a stop request after a sequence and a
// candidate that cannot be calculated end the run with HaltRun), on one thread and without
// bounds. Counts.Scored equals the structures checked.
tSearchCounts LiteralSearch(const tSearchTables& tables, tBestStructures& best,
                            const tSearchOptions& options, const tStopToken& stop);

// The score of the candidate held in `model` (its spectrum calculated), as the literal
// enumeration scores it; `sorted` receives the calculated spectrum in ascending order.
tScore ScoreCalculated(tSpectrumScorer& scorer, const tStructureModel& model,
                       const tTopology& topology, signal_array& sorted);

}  // namespace glycomb::testing
