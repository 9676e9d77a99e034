#include "search/outside_weight.hpp"

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

#include "search/internal/outside_descent.hpp"
#include "search/internal/sequence_outcomes.hpp"
#include "search/passes.hpp"
#include "search/sequence_enumerator.hpp"

namespace glycomb {
namespace {

std::array<bool, kMaxResidues + 1> PhosphateEntries(const tTask& task) {
  std::array<bool, kMaxResidues + 1> phosphate{};
  for (std::size_t i = 1; i <= task.ResidueCount; ++i) phosphate[i] = At(task.Residues, i).NameIndex == 0;
  return phosphate;
}

}  // namespace

std::optional<double> OutsideWeight(const tSearchTables& tables, const tBestStructures& best,
                                    double scale, double negligible, unsigned threads,
                                    const tStopToken& stop) {
  if (best.BestCount() == 0 || best.BestCount() < best.Limit()) return 0.0;
  tOutsideRule rule;
  rule.Best = best.Entry(0).Deviation;
  for (std::size_t i = 1; i < best.BestCount(); ++i) rule.Best = std::min(rule.Best, best.Entry(i).Deviation);
  rule.Worst = best.Threshold();
  rule.Scale = scale;
  rule.Negligible = negligible;

  const std::vector<tPass> passes = SearchPasses(tables.Task, tables.Topologies);
  const tSequenceEnumerator enumerator(tables.Task, tables.Residues, tables.Topologies);
  const tSpectrumCalculator calculator(tables.Task.Residues, tables.Residues, tables.Topologies,
                                       tables.Shifts);
  const auto phosphate = PhosphateEntries(tables.Task);
  std::vector<double> weights(passes.size());  // by pass, each summed in the order of generation
  std::atomic<std::size_t> next_pass{0};
  std::atomic<bool> ended{false};
  std::mutex error_mutex;
  std::exception_ptr error;
  const auto work = [&] {
    try {
      tStructureModel model;
      SizeSpectrumArrays(model, tables.Task, tables.Residues);
      model.WorkingStructure.Nodes.assign(tables.Task.ResidueCount, tStructureNode{});
      tSequenceChoices choices;
      const tBestStructures held = best;  // its own: a table's look-up uses scratch of its own
      tOutsideDescent descent(tables.Topologies, calculator, tables.Measured, held, rule, phosphate);
      std::set<tSequenceKey> seen;
      for (std::size_t pass; (pass = next_pass.fetch_add(1)) < passes.size();) {
        // An equivalent sequence gives the same structures as an earlier one of its pass: they
        // count once. (Those of an earlier pass count again: more, never less.)
        seen.clear();
        enumerator.ForEachSequence(passes[pass], model.WorkingStructure, [&](bool passes_checks) {
          if (passes_checks && seen.insert(SequenceKey(model.WorkingStructure, tables.Task)).second) {
            BuildCarbonOffsets(model, tables.Task, tables.Residues);
            enumerator.Choices(model.WorkingStructure, choices);
            weights[pass] += descent.Weight(model, choices);
          }
          if (stop.StopRequested() || ended.load()) {
            ended.store(true);
            return false;
          }
          return true;
        });
      }
    } catch (...) {
      std::lock_guard<std::mutex> lock(error_mutex);
      if (!error) error = std::current_exception();
      ended.store(true);
    }
  };
  {
    const std::size_t count = std::max<std::size_t>(1, std::min<std::size_t>(threads, passes.size()));
    std::vector<std::thread> workers;
    for (std::size_t w = 1; w < count; ++w) workers.emplace_back(work);
    work();
    for (std::thread& worker : workers) worker.join();
  }
  if (error) std::rethrow_exception(error);
  if (ended.load()) return std::nullopt;
  // In the order of the passes, so that the sum is the same however they were shared out.
  double weight = 0;
  for (const double pass_weight : weights) weight += pass_weight;
  return weight;
}

}  // namespace glycomb
