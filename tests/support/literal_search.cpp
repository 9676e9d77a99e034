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

tLiteralTools::tLiteralTools(const tSearchTables& tables)
    : Tables(tables),
      Enumerator(tables.Task, tables.Residues, tables.Topologies),
      Calculator(tables.Task.Residues, tables.Residues, tables.Topologies, tables.Shifts),
      Scorer(tables.Measured) {
  SizeSpectrumArrays(Model, tables.Task, tables.Residues);
  Model.WorkingStructure.Nodes.assign(tables.Task.ResidueCount, tStructureNode{});
  Sorted.resize(Model.CalculatedSpectrum.size());
}

tScore tLiteralTools::Score() {
  const tStructure& structure = Model.WorkingStructure;
  Calculator.Calculate(structure, Model.CarbonOffsets.data(), Model.CalculatedSpectrum.data());
  return ScoreCalculated(Scorer, Model, Tables.Topologies[structure.Topology], Sorted);
}

tSearchCounts LiteralSearch(const tSearchTables& tables, tBestStructures& best,
                            const tSearchOptions& options, const tStopToken& stop) {
  const tTask& task = tables.Task;
  tLiteralTools tools(tables);
  tStructure& structure = tools.Model.WorkingStructure;
  tSearchCounts counts;

  // Calculates and scores the candidate held in the structure unless the table holds it.
  const auto offer = [&] {
    if (best.Holds(structure)) return;
    counts.StructuresChecked = CheckedAdd<std::int64_t>(counts.StructuresChecked, 1);
    try {
      best.Keep(structure, tools.Score());
    } catch (const EErrorStop&) {
      HaltRun();
    }
  };
  for (const tPass& pass : SearchPasses(task, tables.Topologies)) {
    tools.Enumerator.ForEachSequence(pass, structure, [&](bool passes) {
      if (passes) {
        const float fraction = static_cast<float>(counts.Sequences) /
                               static_cast<float>(options.SequenceEstimate);
        const double elapsed = Now() - options.StartTime;
        const double time_left = fraction == 0.0f ? 0.0 : elapsed / fraction - elapsed;
        counts.Sequences = CheckedAdd<std::int32_t>(counts.Sequences, 1);
        ShowProgress(counts.Sequences, time_left, fraction);
        BuildCarbonOffsets(tools.Model, task, tables.Residues);
        tools.Enumerator.Choices(structure, tools.Choices);
        tools.Choices.ForEachCandidate(structure, offer);
      }
      if (stop.StopRequested()) HaltRun();
      return true;
    });
  }
  counts.Scored = counts.StructuresChecked;
  return counts;
}

}  // namespace glycomb::testing
