// Internal to the search. What every descent over the choices of one sequence works with: the
// sequence's blocks, the partial structure, the figures of the open residues, the lower bounds
// that read them and the scorer of complete candidates. The search's descent and the pass that
// bounds the structures not kept both build on it.
#pragma once

#include <array>

#include "scoring/spectrum_score.hpp"
#include "search/internal/block_table.hpp"
#include "search/internal/bounds.hpp"
#include "search/internal/open_residues.hpp"
#include "search/internal/partial_structure.hpp"
#include "spectrum/structure_model.hpp"

namespace glycomb {

// For every composition entry 1..n of `task`: whether it is the phosphate.
std::array<bool, kMaxResidues + 1> PhosphateEntries(const tTask& task);

class tDescentParts {
 protected:
  // `measured` must outlive it.
  explicit tDescentParts(const tMeasuredSpectrum& measured);

  // Calculates the blocks of the sequence held in `model` (residues placed, carbon offsets built)
  // whose choices are `choices`, lays it out (with the open configurations first when asked) and
  // prepares the bounds and level 0 of the descent. False when some block cannot be calculated
  // (blocks_.FirstFailure() says which).
  bool LayOut(tStructureModel& model, const tSequenceChoices& choices, const tTopology& topology,
              const tSpectrumCalculator& calculator,
              const std::array<bool, kMaxResidues + 1>& phosphate, bool configurations_first);

  tSpectrumScorer scorer_;
  tAdditiveFit fit_;
  tBlockTable blocks_;
  tPartialStructure partial_;
  tOpenResidues open_;
  tBoundInputs inputs_;
  tBoundSet bounds_;
};

}  // namespace glycomb
