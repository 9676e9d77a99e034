#include "search/outside_weight.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "search/internal/outside_descent.hpp"
#include "search/internal/sequence_outcomes.hpp"
#include "search/passes.hpp"
#include "search/sequence_enumerator.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {
namespace {

// The weights of the sequences worked out so far, by key: an equivalent sequence of a later pass
// has the same weight (the same candidates, bounds and cuts), so it is taken from here instead of
// being descended again. Only an aid to speed: whether a weight is found or worked out, it is the
// same number. Stops growing at about 64 MB.
class tKnownWeights {
 public:
  template <class tWork>
  double Find(const tSequenceKey& key, const tWork& work) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (const auto it = known_.find(key); it != known_.end()) return it->second;
    }
    const double weight = work();
    std::lock_guard<std::mutex> lock(mutex_);
    if (known_.size() < kMaxEntries) known_.emplace(key, weight);
    return weight;
  }

 private:
  static constexpr std::size_t kMaxEntries = (std::size_t{64} << 20) / 128;
  std::mutex mutex_;
  std::map<tSequenceKey, double> known_;
};

// What the threads of the pass share: the passes are handed out in order, and each pass's weight
// is summed on its own, in the order of generation.
struct tOutsideJob {
  tOutsideJob(const tSearchTables& tables, const tBestStructures& best, const tOutsideRule& rule,
              const tStopToken& stop)
      : Tables(tables),
        Best(best),
        Rule(rule),
        Stop(stop),
        Passes(SearchPasses(tables.Task, tables.Topologies)),
        Enumerator(tables.Task, tables.Residues, tables.Topologies),
        Calculator(tables.Task.Residues, tables.Residues, tables.Topologies, tables.Shifts),
        Phosphate(PhosphateEntries(tables.Task)),
        Weights(Passes.size()) {}

  const tSearchTables& Tables;
  const tBestStructures& Best;
  const tOutsideRule& Rule;
  const tStopToken& Stop;
  const std::vector<tPass> Passes;
  const tSequenceEnumerator Enumerator;
  const tSpectrumCalculator Calculator;
  const std::array<bool, kMaxResidues + 1> Phosphate;
  tKnownWeights Known;
  std::vector<double> Weights;  // by pass
  std::atomic<std::size_t> NextPass{0};
  std::atomic<bool> Ended{false};  // a stop request, or an error in some thread
};

// One thread: weighs passes until none is left or the job has ended.
void WeighPasses(tOutsideJob& job) {
  const tTask& task = job.Tables.Task;
  tStructureModel model;
  SizeSpectrumArrays(model, task, job.Tables.Residues);
  model.WorkingStructure.Nodes.assign(task.ResidueCount, tStructureNode{});
  tSequenceChoices choices;
  const tBestStructures held = job.Best;  // its own: a table's look-up uses scratch of its own
  tOutsideDescent descent(job.Tables.Topologies, job.Calculator, job.Tables.Measured, held,
                          job.Rule, job.Phosphate);
  std::set<tSequenceKey> seen;
  for (std::size_t pass; (pass = job.NextPass.fetch_add(1)) < job.Passes.size();) {
    // An equivalent sequence gives the same structures as an earlier one of its pass: they count
    // once. (Those of an earlier pass count again: more, never less.)
    seen.clear();
    job.Enumerator.ForEachSequence(job.Passes[pass], model.WorkingStructure, [&](bool passes) {
      const tSequenceKey key = passes ? SequenceKey(model.WorkingStructure, task) : tSequenceKey{};
      if (passes && seen.insert(key).second) {
        job.Weights[pass] += job.Known.Find(key, [&] {
          BuildCarbonOffsets(model, task, job.Tables.Residues);
          job.Enumerator.Choices(model.WorkingStructure, choices);
          return descent.Weight(model, choices);
        });
      }
      if (job.Stop.StopRequested()) job.Ended.store(true);
      return !job.Ended.load();
    });
  }
}

}  // namespace

std::optional<double> OutsideWeight(const tSearchTables& tables, const tBestStructures& best,
                                    double scale, double negligible, unsigned threads,
                                    const tStopToken& stop) {
  if (best.BestCount() == 0 || best.BestCount() < best.Limit()) return 0.0;
  tOutsideRule rule;
  rule.Best = best.Entry(0).Deviation;
  for (std::size_t i = 1; i < best.BestCount(); ++i) {
    rule.Best = std::min(rule.Best, best.Entry(i).Deviation);
  }
  rule.Worst = best.Threshold();
  rule.Scale = scale;
  rule.Negligible = negligible;

  tOutsideJob job(tables, best, rule, stop);
  std::mutex error_mutex;
  std::exception_ptr error;
  const auto work = [&] {
    try {
      WeighPasses(job);
    } catch (...) {
      std::lock_guard<std::mutex> lock(error_mutex);
      if (!error) error = std::current_exception();
      job.Ended.store(true);
    }
  };
  {
    const std::size_t count =
        std::max<std::size_t>(1, std::min<std::size_t>(threads, job.Passes.size()));
    std::vector<std::thread> workers;
    for (std::size_t w = 1; w < count; ++w) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
  }
  if (error) std::rethrow_exception(error);
  if (job.Ended.load()) return std::nullopt;
  // In the order of the passes, so that the sum is the same however they were shared out.
  double weight = 0;
  for (const double pass_weight : job.Weights) weight += pass_weight;
  return weight;
}

}  // namespace glycomb
