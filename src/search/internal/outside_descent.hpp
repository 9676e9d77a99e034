// Internal to the search. The descent over the choices of one sequence that bounds what its
// candidates weigh under the error model of the probabilities, exp(-(S - B) / scale) relative to
// the best kept sum B: near B candidates are scored exactly, and a subtree whose lower bound L
// makes count * exp(-(L - B) / scale) negligible weighs that much without being descended.
// docs/probability.md argues the bound.
#pragma once

#include <array>
#include <cstdint>

#include "scoring/spectrum_score.hpp"
#include "search/best_structures.hpp"
#include "search/internal/descent_parts.hpp"
#include "spectrum/structure_model.hpp"

namespace glycomb {

// How the weights are taken. Sums in tenths of a ppm: `Best` and `Worst` of the search's final
// table; `Scale` of the error model. A subtree is left to its bound when the weight it would get
// is at most `Negligible`; a complete candidate is scored exactly unless its cheap bounds exceed
// `Worst + Scale` (it then weighs as they say).
struct tOutsideRule {
  std::uint32_t Best = 0;
  std::uint32_t Worst = 0;
  double Scale = 1;
  double Negligible = 0;
};

class tOutsideDescent : private tDescentParts {
 public:
  // Every argument must outlive it. `best` is the search's final table.
  tOutsideDescent(const tTopologyTable& topologies, const tSpectrumCalculator& calculator,
                  const tMeasuredSpectrum& measured, const tBestStructures& best,
                  const tOutsideRule& rule, const std::array<bool, kMaxResidues + 1>& phosphate);

  // At least the weight of the candidates of the sequence held in `model` (residues placed,
  // carbon offsets built) whose choices are `choices`, leaving out those the table holds and
  // those that meet no assignment of the LINK lines.
  double Weight(tStructureModel& model, const tSequenceChoices& choices);

 private:
  // Whether the subtree at `level` is left: none of its candidates meets the LINK lines (it adds
  // nothing), or its bound makes its weight negligible (it adds that weight).
  bool Leaves(std::size_t level);
  void Descend(std::size_t level);
  void Leaf();
  void ApplyChoices();
  // Adds `candidates` candidates of sum `sum`.
  void Add(std::int64_t candidates, std::uint32_t sum);

  const tTopologyTable& topologies_;
  const tSpectrumCalculator& calculator_;
  const tMeasuredSpectrum& measured_;
  const tBestStructures& best_;
  const tOutsideRule& rule_;
  std::array<bool, kMaxResidues + 1> phosphate_{};
  std::array<std::uint32_t, kMaxLevels> cuts_{};  // by level: a bound above it is negligible
  tStructure* structure_ = nullptr;
  double weight_ = 0;
  std::uint64_t visit_ = 0;
};

}  // namespace glycomb
