// The lower bounds of the search, each on its own: at a random level of a random sequence of a
// random task, no bound exceeds the least score of the candidates below, found by scoring every
// one of them; at a leaf, the bounds that see every value exactly equal the score they bound.
#include "search/internal/bounds.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "e2e/test_reference_data.hpp"
#include "search/passes.hpp"
#include "search/sequence_enumerator.hpp"
#include "spectrum/spectrum_calculation.hpp"
#include "support/fixtures.hpp"
#include "support/in_process.hpp"
#include "support/literal_search.hpp"
#include "support/program_runner.hpp"
#include "support/random_tasks.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

// The pieces of one descent for one sequence, as tSequenceDescent puts them together.
struct tSequenceBounds {
  tSequenceBounds(const tMeasuredSpectrum& measured)
      : scorer(measured),
        fit(measured),
        partial(measured.Size()),
        open(measured, fit.Bound(), measured.Size()),
        inputs{partial, open, measured},
        bounds(inputs, fit.Bound(), scorer, measured.Size()) {}

  tSpectrumScorer scorer;
  tAdditiveFit fit;
  tBlockTable blocks;
  tPartialStructure partial;
  tOpenResidues open;
  tBoundInputs inputs;
  tBoundSet bounds;
};

class BoundsTest : public ::testing::Test {
 protected:
  // The exact scores of the candidate held in the structure: the sorted comparison at offset 0
  // and the score the task asks for.
  struct tExact {
    std::uint32_t SortedAtZero = 0;
    tScore Score;
  };
  tExact Score(tSpectrumScorer& scorer) {
    calculator_->Calculate(model_.WorkingStructure, model_.CarbonOffsets.data(),
                           model_.CalculatedSpectrum.data());
    signal_array sorted;
    const tScore score = testing::ScoreCalculated(
        scorer, model_, run_.Topologies[model_.WorkingStructure.Topology], sorted);
    return {scorer.SortedSum(sorted.data(), 0), score};
  }

  // Checks every bound that holds for the task's score at a random level of the sequence held in
  // the working structure.
  void CheckSequence() {
    const tTask& task = run_.Task;
    tStructure& structure = model_.WorkingStructure;
    BuildCarbonOffsets(model_, task, run_.Residues);
    tSequenceChoices choices;
    enumerator_->Choices(structure, choices);
    if (choices.Empty()) return;
    auto b = std::make_unique<tSequenceBounds>(*measured_);
    const tTopology& topology = run_.Topologies[structure.Topology];
    if (!b->blocks.Build(choices, topology, structure, *calculator_)) return;
    // Either order of the descent.
    b->partial.Layout(choices, b->blocks, topology, model_.CarbonOffsets.data(), structure,
                      phosphate_, Pick(2) == 0);
    const std::size_t variables = choices.Variables();
    // Fit the additive bound to some candidate of the sequence, or leave it unfitted.
    if (Pick(2) == 0) {
      for (std::size_t v = 0; v < variables; ++v) choices.Apply(v, Pick(choices.Count(v)), structure);
      calculator_->Calculate(structure, model_.CarbonOffsets.data(), model_.CalculatedSpectrum.data());
      std::vector<std::int32_t> sorted = model_.CalculatedSpectrum;
      std::sort(sorted.begin(), sorted.end());
      b->fit.Offer(sorted.data(), sorted.size(), 0);
      b->fit.Refit();
    }
    b->open.Prepare(b->partial);
    b->bounds.Prepare();
    for (int i = 0; i < 3; ++i) CheckLevel(*b, choices);
  }

  // Checks the bounds at a random level of the sequence laid out in `b`.
  void CheckLevel(tSequenceBounds& b, const tSequenceChoices& choices) {
    tStructure& structure = model_.WorkingStructure;
    const std::size_t variables = choices.Variables();
    std::vector<std::size_t> options(variables);
    // A leaf, or a level whose subtree is small enough to score every candidate.
    std::vector<std::size_t> levels;
    for (std::size_t l = 0; l <= variables; ++l) {
      if (b.partial.LeavesBelow(l) <= 3000) levels.push_back(l);
    }
    const std::size_t level = Pick(4) == 0 ? variables : levels[Pick(levels.size())];
    b.partial.Determine(0);
    b.partial.MergeSorted(0);
    b.bounds.Prunes(0, kNoThreshold, ++visit_);
    // The descent's own order of the variables: options[d] for the variable fixed at level d.
    for (std::size_t d = 0; d < level; ++d) {
      options[d] = Pick(choices.Count(b.partial.VariableAt(d)));
      b.partial.Choose(b.partial.VariableAt(d), options[d]);
      b.partial.Determine(d + 1);
      b.partial.MergeSorted(d + 1);
      b.bounds.Prunes(d + 1, kNoThreshold, ++visit_);
    }
    // Every bound the descent may apply to this task, in the order of tBoundSet::Prunes (the
    // injection bound improves the nearest-shift figure of its level).
    struct tFigure {
      const char* Name;
      std::uint32_t Value;
    };
    std::vector<tFigure> figures;
    tBoundSet& bounds = b.bounds;
    const bool spin = measured_->SpinSystems();
    if (measured_->LinkCount() > 0) figures.push_back({"link", bounds.Link.Bound(level, ++visit_)});
    if (measured_->AutoOffset()) {
      if (spin) figures.push_back({"spin offset", bounds.SpinOffset.Bound(level, ++visit_)});
      figures.push_back({"offset range", bounds.OffsetRange.Bound(level, ++visit_)});
    } else {
      figures.push_back({"additive", bounds.Additive.Bound(level, ++visit_)});
      figures.push_back({"nearest shift", bounds.Nearest.Bound(level, ++visit_)});
      figures.push_back({"range", bounds.Range.Bound(level, ++visit_)});
      if (spin) figures.push_back({"spin", bounds.Spin.Bound(level, ++visit_)});
      figures.push_back({"injection", bounds.Injection.Bound(level, ++visit_)});
    }
    // Every candidate below, scored exactly.
    std::uint32_t least = kNoThreshold, least_sorted = kNoThreshold;
    std::vector<std::size_t> option = options;
    for (;;) {
      for (std::size_t d = 0; d < variables; ++d) {
        choices.Apply(b.partial.VariableAt(d), option[d], structure);
      }
      const tExact exact = Score(b.scorer);
      least = std::min(least, exact.Score.Sum);
      least_sorted = std::min(least_sorted, exact.SortedAtZero);
      std::size_t d = variables;
      while (d > level && ++option[d - 1] == choices.Count(b.partial.VariableAt(d - 1))) {
        option[--d] = 0;
      }
      if (d == level) break;
    }
    for (const tFigure& figure : figures) {
      ++checks_;
      if (figure.Value > 0) ++positive_;
      EXPECT_LE(figure.Value, least) << figure.Name << " at level " << level << " of "
                                     << variables << "\n" << task_text_;
    }
    if (level != variables) return;
    // At a leaf the injection and range bounds see the sorted comparison itself, the spin bound
    // the residue-matched sum (no assignment: kNoLineMatch) and the offset range bound the sorted
    // comparison at its best offset.
    ++leaves_;
    for (const tFigure& figure : figures) {
      const std::string name = figure.Name;
      if (name == "injection" || name == "range") {
        EXPECT_EQ(figure.Value, least_sorted) << name << "\n" << task_text_;
      } else if (name == "spin") {
        EXPECT_EQ(figure.Value, least == kInfeasibleSum ? kNoLineMatch : least)
            << name << "\n" << task_text_;
      } else if (name == "offset range" && !spin) {
        EXPECT_EQ(figure.Value, least) << name << "\n" << task_text_;
      }
    }
  }

  void Load(const testing::TempDir& dir, const std::string& text) {
    task_text_ = text;
    run_ = tRun{};
    dir.Write("TASK.TSK", text);
    loaded_ = testing::LoadInProcess(dir.Path(), "TASK", run_);
    if (!loaded_) return;
    measured_ = std::make_unique<tMeasuredSpectrum>(run_.Task);
    enumerator_ = std::make_unique<tSequenceEnumerator>(run_.Task, run_.Residues, run_.Topologies);
    calculator_ = std::make_unique<tSpectrumCalculator>(run_.Task.Residues, run_.Residues,
                                                        run_.Topologies, run_.Shifts);
    model_ = tStructureModel{};
    SizeSpectrumArrays(model_, run_.Task, run_.Residues);
    model_.WorkingStructure.Nodes.assign(run_.Task.ResidueCount, tStructureNode{});
    phosphate_.fill(false);
    for (std::size_t i = 1; i <= run_.Task.ResidueCount; ++i) {
      phosphate_[i] = run_.Task.Residues[i].NameIndex == 0;
    }
  }

  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }

  std::mt19937 random_{3};
  tRun run_;
  bool loaded_ = false;
  std::string task_text_;
  std::unique_ptr<tMeasuredSpectrum> measured_;
  std::unique_ptr<tSequenceEnumerator> enumerator_;
  std::unique_ptr<tSpectrumCalculator> calculator_;
  tStructureModel model_;
  std::array<bool, kMaxResidues + 1> phosphate_{};
  std::uint64_t visit_ = 0;  // numbers the visits, as the descent does, for the caches of the bounds
  int checks_ = 0, positive_ = 0, leaves_ = 0;
};

TEST_F(BoundsTest, NoBoundExceedsTheBestScoreBelowIt) {
  for (const bool test_data : {false, true}) {
    const testing::tDataSetDir data(test_data);
    testing::tTaskGenerator generator(data.Residues, test_data, test_data ? 21 : 22);
    for (int i = 0; i < 120; ++i) {
      Load(data.Dir, generator.Task(i % 3 == 2));
      if (!loaded_) continue;
      int sequences = 0;
      for (const tPass& pass : SearchPasses(run_.Task, run_.Topologies)) {
        enumerator_->ForEachSequence(pass, model_.WorkingStructure, [&](bool passes) {
          if (passes && std::uniform_int_distribution<int>(0, 1)(random_) == 0) {
            CheckSequence();
            ++sequences;
          }
          return sequences < 10;
        });
      }
    }
  }
  // Enough checks, of bounds that are not all zero, and leaves among them.
  EXPECT_GE(checks_, 1000);

  EXPECT_GE(positive_, checks_ / 3);
  EXPECT_GE(leaves_, 50);
}

}  // namespace
}  // namespace glycomb
