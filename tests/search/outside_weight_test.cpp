// What the structures a search did not keep weigh, against the literal enumeration: on random
// tasks every candidate is scored, and the weight of the distinct polymers outside the final table
// must never exceed what the program's pass gives; without spin systems and with nothing left to
// a bound the pass is exact; and it is the same on one thread and on several.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <map>
#include <set>
#include <vector>

#include "console/console.hpp"
#include "search/internal/sequence_outcomes.hpp"
#include "search/outside_weight.hpp"
#include "search/passes.hpp"
#include "support/fixtures.hpp"
#include "support/in_process.hpp"
#include "support/literal_search.hpp"
#include "support/random_tasks.hpp"

namespace glycomb {
namespace {

using testing::tDataSetDir;
using testing::tTaskGenerator;

constexpr double kScale = 5.78;  // tenths of a ppm

// Every candidate of the task that meets the LINK lines and is not held by `best`, scored: the
// weights of the distinct polymers among them, and of the candidates of the first sequence of
// each key in its pass (what the pass sums when it scores everything).
struct tLiteralWeights {
  double Polymers = 0;
  double FirstSequences = 0;
  // At least what the pass gives when it leaves nothing to a bound: the candidates of first
  // sequences at most one scale above the worst kept sum exactly, every other one (too far, or
  // meeting no assignment of the LINK lines) at most as much as a sum of that.
  double Most = 0;
};

tLiteralWeights LiteralWeights(const tSearchTables& tables, const tBestStructures& best) {
  const tTask& task = tables.Task;
  testing::tLiteralTools tools(tables);
  tStructure& structure = tools.Model.WorkingStructure;
  std::vector<std::uint8_t> name_of_entry;
  for (const tTaskResidue& entry : task.Residues) name_of_entry.push_back(entry.NameIndex);
  std::uint32_t least = best.Entry(0).Deviation;
  for (std::size_t i = 0; i < best.BestCount(); ++i) least = std::min(least, best.Entry(i).Deviation);

  tLiteralWeights weights;
  std::map<std::vector<std::uint8_t>, std::uint32_t> polymers;
  for (const tPass& pass : SearchPasses(task, tables.Topologies)) {
    std::set<tSequenceKey> seen;
    tools.Enumerator.ForEachSequence(pass, structure, [&](bool passes) {
      if (!passes) return true;
      const bool first = seen.insert(SequenceKey(structure, task)).second;
      BuildCarbonOffsets(tools.Model, task, tables.Residues);
      tools.Enumerator.Choices(structure, tools.Choices);
      tools.Choices.ForEachCandidate(structure, [&] {
        if (best.Holds(structure)) return;
        const tScore score = tools.Score();
        const std::uint32_t far = best.Threshold() + static_cast<std::uint32_t>(kScale);
        if (first) {
          weights.Most += std::exp(-(static_cast<double>(std::min(score.Sum, far)) - least) / kScale);
        }
        if (score.Sum == kInfeasibleSum) return;
        const double weight = std::exp(-(static_cast<double>(score.Sum) - least) / kScale);
        if (first) weights.FirstSequences += weight;
        tPolymerKey key;
        PolymerKey(structure, tables.Topologies[structure.Topology], name_of_entry.data(), key);
        polymers.emplace(std::vector<std::uint8_t>(key.Bytes.begin(), key.Bytes.begin() + key.Size),
                         score.Sum);
      });
      return true;
    });
  }
  for (const auto& [key, sum] : polymers) {
    weights.Polymers += std::exp(-(static_cast<double>(sum) - least) / kScale);
  }
  return weights;
}

TEST(OutsideWeightTest, BoundsTheLiteralWeightOfEveryPolymerNotKept) {
  const std::atomic<bool> go{true};
  const tStopToken never(go);
  int full = 0, exact = 0, spin = 0;
  for (const bool test_data : {true, false}) {
    tDataSetDir data(test_data);
    tTaskGenerator generator(data.Residues, test_data, test_data ? 19 : 91);
    for (int k = 0; k < 60; ++k) {
      const std::string text = generator.Task(k % 3 == 0);
      data.Dir.Write("TASK.TSK", text);
      tRun run;
      if (!testing::LoadInProcess(data.Dir.Path(), "TASK", run)) continue;
      SizeSearchTables(run);
      const tMeasuredSpectrum measured(run.Task);
      const tSearchTables tables{run.Task, run.Residues, run.Topologies, run.Shifts, measured};
      tSearchOptions options;
      options.SequenceEstimate = 1 << 30;
      bool halted = false;
      testing::Captured([&] {
        try {
          testing::ScopedWorkingDirectory here(data.Dir.Path());
          testing::LiteralSearch(tables, run.BestStructures, options, never);
        } catch (const ERunHalted&) {
          halted = true;  // a candidate that cannot be calculated: no table
        }
      });
      if (halted) continue;
      run.BestStructures.SortByDeviation();
      const auto weight = [&](double negligible, unsigned threads) {
        return *OutsideWeight(tables, run.BestStructures, kScale, negligible, threads, never);
      };
      const double coarse = weight(1e-2, 1);
      if (run.BestStructures.BestCount() < run.BestStructures.Limit()) {
        EXPECT_EQ(coarse, 0.0) << text;
        continue;
      }
      ++full;
      const tLiteralWeights literal = LiteralWeights(tables, run.BestStructures);
      const double fine = weight(1e-9, 1);
      for (const double bound : {coarse, fine}) {
        EXPECT_GE(bound, literal.Polymers * (1 - 1e-12)) << text;
      }
      EXPECT_EQ(weight(1e-9, 3), fine) << text;  // bit for bit: summed in the order of passes
      EXPECT_LE(weight(1e-300, 1), literal.Most * (1 + 1e-9)) << text;
      if (run.Task.SpinSystems != 0) {
        ++spin;
      } else {
        // Nothing left to a bound: every candidate of a first sequence, scored exactly.
        ++exact;
        EXPECT_NEAR(weight(1e-300, 2), literal.FirstSequences, 1e-9 * literal.FirstSequences) << text;
      }
    }
  }
  EXPECT_GE(full, 20);
  EXPECT_GE(exact, 8);
  EXPECT_GE(spin, 8);
}

}  // namespace
}  // namespace glycomb
