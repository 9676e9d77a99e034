#include "search/internal/descent_parts.hpp"

namespace glycomb {

std::array<bool, kMaxResidues + 1> PhosphateEntries(const tTask& task) {
  std::array<bool, kMaxResidues + 1> phosphate{};
  for (std::size_t i = 1; i <= task.ResidueCount; ++i) phosphate[i] = At(task.Residues, i).NameIndex == 0;
  return phosphate;
}

tDescentParts::tDescentParts(const tMeasuredSpectrum& measured)
    : scorer_(measured),
      fit_(measured),
      partial_(measured.Size()),
      open_(measured, fit_.Bound(), measured.Size()),
      inputs_{partial_, open_, measured},
      bounds_(inputs_, fit_.Bound(), scorer_, measured.Size()) {}

bool tDescentParts::LayOut(tStructureModel& model, const tSequenceChoices& choices,
                           const tTopology& topology, const tSpectrumCalculator& calculator,
                           const std::array<bool, kMaxResidues + 1>& phosphate,
                           bool configurations_first) {
  if (!blocks_.Build(choices, topology, model.WorkingStructure, calculator)) return false;
  partial_.Layout(choices, blocks_, topology, model.CarbonOffsets.data(), model.WorkingStructure,
                  phosphate, configurations_first);
  fit_.Refit();
  open_.Prepare(partial_);
  bounds_.Prepare();
  partial_.Determine(0);
  partial_.MergeSorted(0);
  return true;
}

}  // namespace glycomb
