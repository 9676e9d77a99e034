// Internal to the search. One worker of the search: it searches whole passes, one after another,
// with its own working structure, its own table and its own descent.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "console/stop_token.hpp"
#include "search/best_structures.hpp"
#include "search/internal/pass_result.hpp"
#include "search/internal/search_progress.hpp"
#include "search/internal/sequence_descent.hpp"
#include "search/internal/sequence_outcomes.hpp"
#include "search/search.hpp"
#include "search/sequence_enumerator.hpp"

namespace glycomb {

// What the workers of one search share.
struct tSearchShared {
  tSearchShared(const tTask& task, std::size_t workers, std::size_t passes,
                tSearchProgress& progress, const tStopToken& stop);

  // The worst deviation of the merged table after the completed prefix of passes.
  std::atomic<std::uint32_t> Committed{kNoThreshold};
  // The first pass that ends the run (a candidate that cannot be calculated, or an exception):
  // passes after it need not be searched.
  std::atomic<std::size_t> EndPass;
  tSequenceOutcomes Outcomes;
  tSequenceOutcomes Resolved;  // below a choice of the open configurations
  tPeerThresholds Peers;
  tSearchProgress& Progress;
  const tStopToken& Stop;

  void EndAt(std::size_t pass);
};

class tPassSearch {
 public:
  // Every argument must outlive it.
  tPassSearch(const tSearchTables& tables, const tSequenceEnumerator& enumerator,
              const tSpectrumCalculator& calculator, tSearchShared& shared, std::size_t self);

  void DisableBounds() { descent_->DisableBounds(); }
  std::int64_t Scored() const { return descent_->Scored(); }

  // Searches pass number `index` into `result`. The pass ends early, after a sequence, when a
  // stop request arrives or an earlier pass has ended the run (result.Stopped), or at a candidate
  // that cannot be calculated (result.Failed).
  void Search(std::size_t index, const tPass& pass, tPassResult& result);

 private:
  bool SearchSequence();
  void Replay(const tSequenceOutcome& outcome);

  const tSearchTables& tables_;
  const tSequenceEnumerator& enumerator_;
  tSearchShared& shared_;
  tStructureModel model_;
  tSequenceChoices choices_;
  tBestStructures local_;
  tPruningThreshold threshold_;
  std::unique_ptr<tSequenceDescent> descent_;
  std::size_t pass_ = 0;
  tPassResult* result_ = nullptr;
};

}  // namespace glycomb
