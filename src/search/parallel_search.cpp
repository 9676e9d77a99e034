#include "search/parallel_search.hpp"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/control_handler.hpp"
#include "console/formatting.hpp"
#include "search/pruned_search.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {
namespace {

struct tPass {
  std::uint8_t Topology = 0;
  std::uint8_t StartNode = 0;
};

// The progress line, advanced by every worker under one lock so that it counts up one by one.
class tSharedProgress : public tSearchProgress {
 public:
  tSharedProgress(double start_time, std::int32_t estimate)
      : start_time_(start_time), estimate_(estimate) {}

  bool SequenceDone() override {
    std::lock_guard<std::mutex> lock(mutex_);
    // Another thread may be between sequences when a stop request arrives: it begins no other.
    // The report of the request is written here, under the lock, between two progress lines.
    if (!RunFlag.load()) {
      ReportDeferredStop();
      return false;
    }
    const float fraction = static_cast<float>(count_) / static_cast<float>(estimate_);
    const double elapsed = Now() - start_time_;
    const double time_left = fraction == 0.0f ? 0.0 : elapsed / fraction - elapsed;
    count_ = CheckedAdd<std::int32_t>(count_, 1);
    ShowProgress(count_, time_left, fraction);
    return true;
  }
  std::int32_t Count() const { return count_; }

 private:
  std::mutex mutex_;
  double start_time_;
  std::int32_t estimate_;
  std::int32_t count_ = 0;
};

// What one worker owns: its working structure and spectrum arrays, its calculator and its table.
struct tWorker {
  tStructureModel Model;
  std::unique_ptr<tSpectrumCalculator> Calculator;
  tBestStructures Local;
  std::unique_ptr<tPrunedSearch> Search;
  tPassResult Result;
};

}  // namespace

unsigned SearchThreads() {
  if (const char* text = std::getenv("GLYCOMB_THREADS")) {
    char* end = nullptr;
    const long value = std::strtol(text, &end, 10);
    if (end != text && *end == '\0' && value >= 1) return static_cast<unsigned>(std::min(value, 256L));
  }
  return std::max(1u, std::thread::hardware_concurrency());
}

tSearchCounts RunSearch(const tTask& task, const tResidueTable& residues,
                        const tTopologyTable& topologies, const tShiftTable& shifts,
                        tBestStructures& best, const tSearchOptions& options) {
  std::vector<tPass> passes;
  for (std::size_t t = 0; t < topologies.size(); ++t) {
    const tTopology& topology = topologies[t];
    if (task.WideSpread != 0 && topology.Shape == kShapeRare) continue;
    for (std::size_t u = 0; u < topology.Nodes.size(); ++u) {
      if (topology.StartNodes.test(u)) {
        passes.push_back({static_cast<std::uint8_t>(t), static_cast<std::uint8_t>(u)});
      }
    }
  }

  std::vector<std::uint8_t> name_of_entry;
  for (const tTaskResidue& entry : task.Residues) name_of_entry.push_back(entry.NameIndex);
  const std::size_t thread_count =
      std::max<std::size_t>(1, std::min<std::size_t>(options.Threads, passes.size()));
  std::vector<std::unique_ptr<tWorker>> workers;
  std::atomic<std::uint32_t> committed{kNoThreshold};
  // The first pass that ends the run (a candidate that cannot be calculated, or an internal
  // error): passes after it need not be searched.
  std::atomic<std::size_t> end_pass{passes.size()};
  const auto end_at = [&](std::size_t pass) {
    std::size_t current = end_pass.load();
    while (pass < current && !end_pass.compare_exchange_weak(current, pass)) {
    }
  };
  tSharedProgress progress(options.StartTime, options.SequenceEstimate);
  tSequenceOutcomes outcomes;
  tPeerThresholds peers(thread_count);
  for (auto& peer : peers) peer.store(~std::uint64_t{0});  // no pass yet
  for (std::size_t w = 0; w < thread_count; ++w) {
    auto worker = std::make_unique<tWorker>();
    SizeSpectrumArrays(worker->Model, task, residues);
    worker->Model.WorkingStructure.Nodes.assign(task.ResidueCount, tStructureNode{});
    worker->Calculator = std::make_unique<tSpectrumCalculator>(task, residues, topologies, shifts,
                                                               worker->Model);
    worker->Local.Create(task.Limit, task.ResidueCount, name_of_entry);
    worker->Search = std::make_unique<tPrunedSearch>(task, residues, topologies, worker->Model,
                                                     *worker->Calculator, worker->Local,
                                                     committed, progress, end_pass, outcomes,
                                                     peers, w);
    if (!options.Bounds) worker->Search->DisableBounds();
    workers.push_back(std::move(worker));
  }

  // Passes are merged strictly in catalogue order; a pass that ends the run stops the merging.
  struct tSlot {
    tPassResult Result;
    bool Done = false;
  };
  std::vector<tSlot> slots(passes.size());
  std::mutex merge_mutex;
  std::size_t next_merge = 0;
  bool merging = true;
  tSearchCounts counts;
  tStructure candidate;
  candidate.Nodes.resize(task.ResidueCount);
  const auto merge = [&](const tPassResult& result) {
    counts.StructuresChecked = CheckedAdd<std::int64_t>(
        counts.StructuresChecked, MergePassResult(result, best, candidate));
  };
  const auto complete = [&](std::size_t pass, tPassResult& result) {
    std::lock_guard<std::mutex> lock(merge_mutex);
    std::swap(slots[pass].Result, result);
    slots[pass].Done = true;
    while (merging && next_merge < slots.size() && slots[next_merge].Done) {
      tPassResult& done = slots[next_merge].Result;
      if (done.Failed || done.Stopped) {
        merging = false;
        break;
      }
      merge(done);
      done = tPassResult{};
      ++next_merge;
      committed.store(best.Threshold(), std::memory_order_relaxed);
    }
  };

  std::atomic<std::size_t> next_pass{0};
  std::mutex error_mutex;
  std::exception_ptr error;
  const auto work = [&](tWorker& worker) {
    try {
      for (;;) {
        const std::size_t pass = next_pass.fetch_add(1);
        if (pass >= end_pass.load()) break;
        worker.Search->SearchPass(pass, passes[pass].Topology, passes[pass].StartNode,
                                  worker.Result);
        const bool ends_run = worker.Result.Failed || worker.Result.Stopped;
        if (worker.Result.Failed) end_at(pass);
        complete(pass, worker.Result);
        if (ends_run) break;
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(error_mutex);
      if (!error) error = std::current_exception();
      end_at(0);
    }
  };
  {
    // With several threads a stop request is reported by the progress line's lock holder (or
    // below, once every thread has ended), never in the middle of another thread's line.
    struct tDeferral {
      explicit tDeferral(bool on) : On(on) { DeferStopReports(On); }
      ~tDeferral() {
        if (!On) return;
        DeferStopReports(false);
        ReportDeferredStop();
      }
      bool On;
    };
    std::vector<std::thread> threads;
    const tDeferral deferral(workers.size() > 1);
    for (std::size_t w = 1; w < workers.size(); ++w) threads.emplace_back(work, std::ref(*workers[w]));
    work(*workers[0]);
    for (std::thread& thread : threads) thread.join();
  }
  if (error) std::rethrow_exception(error);

  // A failed candidate ends the run when the literal search would have reached it: the first pass
  // in order that failed, if every pass before it was searched.
  for (std::size_t pass = next_merge; pass < slots.size(); ++pass) {
    const tSlot& slot = slots[pass];
    if (!slot.Done || slot.Result.Stopped) HaltRun();
    if (slot.Result.Failed) {
      try {
        FatalError(slot.Result.Message);
      } catch (const EErrorStop&) {
        HaltRun();
      }
    }
  }
  if (next_merge != slots.size()) CheckFailed("range check error: passes left unmerged");
  counts.Sequences = progress.Count();
  for (const auto& worker : workers) counts.Scored += worker->Search->ScoredCandidates();
  return counts;
}

}  // namespace glycomb
