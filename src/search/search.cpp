#include "search/search.hpp"

#include <algorithm>
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
#include "search/internal/pass_search.hpp"
#include "search/passes.hpp"

namespace glycomb {
namespace {

// The results of the passes, merged into the one table strictly in the order of the passes; a
// pass that ends the run stops the merging.
class tPassMerger {
 public:
  tPassMerger(std::size_t passes, tBestStructures& best, std::size_t nodes,
              std::atomic<std::uint32_t>& committed, tSearchProgress& progress,
              const tSearchOptions& options)
      : slots_(passes),
        best_(best),
        committed_(committed),
        progress_(progress),
        merged_(options.Merged),
        handed_(options.Handed),
        next_(options.Resume.PassesDone),
        checked_(options.Resume.Counts.StructuresChecked),
        sequences_(options.Resume.Counts.Sequences) {
    candidate_.Nodes.resize(nodes);
    committed_.store(best_.Threshold(), std::memory_order_relaxed);
  }

  // Takes the result of pass `pass` (leaving `result` empty) and merges every completed pass that
  // is next in order.
  void Complete(std::size_t pass, tPassResult& result) {
    std::lock_guard<std::mutex> lock(mutex_);
    std::swap(slots_[pass].Result, result);
    slots_[pass].Done = true;
    while (merging_ && next_ < slots_.size() && slots_[next_].Done) {
      tPassResult& done = slots_[next_].Result;
      if (done.Failed || done.Stopped) {
        merging_ = false;
        break;
      }
      checked_ = CheckedAdd<std::int64_t>(checked_, MergePassResult(done, best_, candidate_, handed_));
      sequences_ = CheckedAdd<std::int32_t>(sequences_, done.Sequences);
      done = tPassResult{};
      progress_.PassMerged(next_);
      ++next_;
      committed_.store(best_.Threshold(), std::memory_order_relaxed);
      if (merged_) merged_({next_, {checked_, 0, sequences_}}, best_);
    }
  }

  // After every worker has ended: a failed candidate ends the run when the literal enumeration
  // would have reached it (the first pass in order that failed, if every pass before it was
  // searched), with the progress line at its sequence; a stop request ends it otherwise. Returns
  // the structures checked.
  std::int64_t Finish() {
    for (std::size_t pass = next_; pass < slots_.size(); ++pass) {
      const tSlot& slot = slots_[pass];
      if (!slot.Done || slot.Result.Stopped) HaltRun();
      if (slot.Result.Failed) {
        progress_.ShowEnd(pass);
        try {
          FatalError(slot.Result.Message);
        } catch (const EErrorStop&) {
          HaltRun();
        }
      }
    }
    if (next_ != slots_.size()) CheckFailed("range check error: passes left unmerged");
    return checked_;
  }

 private:
  struct tSlot {
    tPassResult Result;
    bool Done = false;
  };
  std::mutex mutex_;
  std::vector<tSlot> slots_;
  tBestStructures& best_;
  std::atomic<std::uint32_t>& committed_;
  tSearchProgress& progress_;
  const std::function<void(const tSearchPoint&, const tBestStructures&)>& merged_;
  tShardRecords* handed_;
  tStructure candidate_;
  std::size_t next_ = 0;
  bool merging_ = true;
  std::int64_t checked_ = 0;
  std::int32_t sequences_ = 0;
};

// With several threads a stop request is reported by the progress line's lock holder (or once
// every thread has ended), never in the middle of another thread's line.
class tStopReportDeferral {
 public:
  explicit tStopReportDeferral(bool on) : on_(on) { DeferStopReports(on_); }
  ~tStopReportDeferral() {
    if (!on_) return;
    DeferStopReports(false);
    ReportDeferredStop();
  }
  tStopReportDeferral(const tStopReportDeferral&) = delete;
  tStopReportDeferral& operator=(const tStopReportDeferral&) = delete;

 private:
  bool on_;
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

tSearchCounts RunSearch(const tSearchTables& tables, tBestStructures& best,
                        const tSearchOptions& options, const tStopToken& stop) {
  std::vector<tPass> passes = SearchPasses(tables.Task, tables.Topologies);
  if (options.Passes) {
    const tPassRange range = *options.Passes;
    if (range.First > range.End || range.End > passes.size()) {
      CheckFailed("range check error: passes of a shard");
    }
    passes.erase(passes.begin() + static_cast<std::ptrdiff_t>(range.End), passes.end());
    passes.erase(passes.begin(), passes.begin() + static_cast<std::ptrdiff_t>(range.First));
  }
  const std::size_t thread_count =
      std::max<std::size_t>(1, std::min<std::size_t>(options.Threads, passes.size()));
  const tSequenceEnumerator enumerator(tables.Task, tables.Residues, tables.Topologies);
  const tSpectrumCalculator calculator(tables.Task.Residues, tables.Residues, tables.Topologies,
                                       tables.Shifts);
  if (options.Resume.PassesDone > passes.size()) CheckFailed("range check error: resumed pass");
  tSearchProgress progress(passes.size(), options.Resume.PassesDone,
                           options.Resume.Counts.Sequences, options.StartTime,
                           options.SequenceEstimate, stop);
  tSearchShared shared(tables.Task, thread_count, passes.size(), progress, stop);
  std::vector<std::unique_ptr<tPassSearch>> workers;
  for (std::size_t w = 0; w < thread_count; ++w) {
    workers.push_back(std::make_unique<tPassSearch>(tables, enumerator, calculator, shared, w));
    if (!options.Bounds) workers.back()->DisableBounds();
  }
  tPassMerger merger(passes.size(), best, tables.Task.ResidueCount, shared.Committed, progress,
                     options);

  std::atomic<std::size_t> next_pass{options.Resume.PassesDone};
  std::mutex error_mutex;
  std::exception_ptr error;
  const auto work = [&](tPassSearch& worker) {
    tPassResult result;
    try {
      for (;;) {
        const std::size_t pass = next_pass.fetch_add(1);
        if (pass >= shared.EndPass.load()) break;
        if (options.BeforePass) options.BeforePass(pass);
        worker.Search(pass, passes[pass], result);
        const bool ends_run = result.Failed || result.Stopped;
        if (result.Failed) shared.EndAt(pass);
        merger.Complete(pass, result);
        if (ends_run) break;
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(error_mutex);
      if (!error) error = std::current_exception();
      shared.EndAt(0);
    }
  };
  {
    std::vector<std::thread> threads;
    const tStopReportDeferral deferral(workers.size() > 1);
    for (std::size_t w = 1; w < workers.size(); ++w) threads.emplace_back(work, std::ref(*workers[w]));
    work(*workers[0]);
    for (std::thread& thread : threads) thread.join();
  }
  if (error) std::rethrow_exception(error);

  tSearchCounts counts;
  counts.StructuresChecked = merger.Finish();
  progress.ShowEnd(passes.size());
  counts.Sequences = progress.Count();
  for (const auto& worker : workers) counts.Scored += worker->Scored();
  return counts;
}

std::int64_t MergeShardRecords(const tShardRecords& records, tBestStructures& best) {
  tPassResult result;
  result.Unrecorded = records.Unrecorded;
  tStructure candidate;
  for (const tResultRecord& record : records.Records) {
    candidate.Nodes.resize(record.Structure.Nodes.size());
    result.Record(record.Structure, {record.Deviation, record.Offset, record.LineOfNode});
  }
  if (candidate.Nodes.empty()) return result.Unrecorded;
  return MergePassResult(result, best, candidate);
}

}  // namespace glycomb
