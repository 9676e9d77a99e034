#include "support/literal_search.hpp"

#include <algorithm>
#include <array>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "search/passes.hpp"
#include "search/sequence_enumerator.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb::testing {

tScore ScoreCalculated(tSpectrumScorer& scorer, const tStructureModel& model,
                       const tTopology& topology, signal_array& sorted) {
  sorted = model.CalculatedSpectrum;
  std::sort(sorted.begin(), sorted.end());
  std::array<tResidueShifts, kMaxResidues> residues{};
  std::size_t count = 0;
  for (std::size_t i = 0; i < model.WorkingStructure.Nodes.size(); ++i) {
    const std::uint8_t first = model.CarbonOffsets[i];
    const auto carbons = static_cast<std::uint8_t>(model.CarbonOffsets[i + 1] - first);
    if (carbons > 0) {
      residues[count++] = {model.CalculatedSpectrum.data() + first, carbons,
                           static_cast<std::uint8_t>(i)};
    }
  }
  AttachResidues(model.WorkingStructure, topology, residues.data(), count);
  return scorer.Score(sorted.data(), residues.data(), count);
}

tSearchCounts LiteralSearch(const tSearchTables& tables, tBestStructures& best,
                            const tSearchOptions& options, const tStopToken& stop) {
  const tTask& task = tables.Task;
  const tSequenceEnumerator enumerator(task, tables.Residues, tables.Topologies);
  const tSpectrumCalculator calculator(task.Residues, tables.Residues, tables.Topologies,
                                       tables.Shifts);
  tSpectrumScorer scorer(tables.Measured);
  tStructureModel model;
  SizeSpectrumArrays(model, task, tables.Residues);
  model.WorkingStructure.Nodes.assign(task.ResidueCount, tStructureNode{});
  tStructure& structure = model.WorkingStructure;
  signal_array sorted(model.CalculatedSpectrum.size());
  tSequenceChoices choices;
  tSearchCounts counts;

  // Calculates and scores the candidate held in the structure unless the table holds it.
  const auto offer = [&] {
    if (best.Holds(structure)) return;
    counts.StructuresChecked = CheckedAdd<std::int64_t>(counts.StructuresChecked, 1);
    try {
      calculator.Calculate(structure, model.CarbonOffsets.data(), model.CalculatedSpectrum.data());
    } catch (const EErrorStop&) {
      HaltRun();
    }
    best.Keep(structure,
              ScoreCalculated(scorer, model, tables.Topologies[structure.Topology], sorted));
  };
  for (const tPass& pass : SearchPasses(task, tables.Topologies)) {
    enumerator.ForEachSequence(pass, structure, [&](bool passes) {
      if (passes) {
        const float fraction = static_cast<float>(counts.Sequences) /
                               static_cast<float>(options.SequenceEstimate);
        const double elapsed = Now() - options.StartTime;
        const double time_left = fraction == 0.0f ? 0.0 : elapsed / fraction - elapsed;
        counts.Sequences = CheckedAdd<std::int32_t>(counts.Sequences, 1);
        ShowProgress(counts.Sequences, time_left, fraction);
        BuildCarbonOffsets(model, task, tables.Residues);
        enumerator.Choices(structure, choices);
        choices.ForEachCandidate(structure, offer);
      }
      if (stop.StopRequested()) HaltRun();
      return true;
    });
  }
  counts.Scored = counts.StructuresChecked;
  return counts;
}

}  // namespace glycomb::testing
