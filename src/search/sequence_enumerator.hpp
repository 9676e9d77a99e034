// The enumeration of candidate structures in the order of generation: the sequences of a pass
// (which composition entry stands at which node), and for each sequence the choices of its
// substitution positions and open configurations. The pruned search and the literal enumeration
// (the reference of the tests) both enumerate through this one type.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "console/checked.hpp"
#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "search/passes.hpp"
#include "topology/structure.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// One choice at one node: its substitution positions, or its configurations.
struct tChoice {
  std::uint8_t First = 0;   // Subst1, or Anomeric
  std::uint8_t Second = 0;  // Subst2, or Absolute
};

// The choices of one sequence. Variable v < n holds the positions of node v, variable n + v its
// configurations; the candidates of the sequence are every combination, generated as an odometer
// over the variables in this order with the last varying fastest.
struct tSequenceChoices {
  std::size_t Nodes = 0;
  std::array<std::vector<tChoice>, 2 * kMaxResidues> Options;

  std::size_t Variables() const { return 2 * Nodes; }
  std::size_t PositionsOf(std::size_t node) const { return node; }
  std::size_t ConfigurationsOf(std::size_t node) const { return Nodes + node; }
  std::size_t Count(std::size_t variable) const { return Options[variable].size(); }
  // Writes option `option` of `variable` into the node entry it belongs to.
  void Apply(std::size_t variable, std::size_t option, tStructure& structure) const;
  // Whether some variable has no option: the sequence gives no candidate.
  bool Empty() const;
  // Writes every candidate of the sequence in turn into `structure`, in the order of generation,
  // and calls `visit` for each.
  void ForEachCandidate(tStructure& structure, const std::function<void()>& visit) const;
};

// What the enumeration needs of the residue type of a composition entry.
struct tEntryFacts {
  tPositionSet OSubstitutable = 0;
  tPositionSet NSubstitutable = 0;
  std::uint8_t CarbonCount = 0;
  std::uint8_t HighestPosition = 0;  // of a single substituent: 2 for the phosphate
  std::uint8_t RingKind = 0;
  std::uint8_t C1Peculiarity = 0;
  std::uint8_t NLinked = 0;
  bool IsPhosphate = false;
};

class tSequenceEnumerator {
 public:
  // Keeps references to the tables, which must outlive it.
  tSequenceEnumerator(const tTask& task, const tResidueTable& residues,
                      const tTopologyTable& topologies);

  // Places every sequence of `pass` in turn into `structure` (its Topology and the Residue of
  // every node; Nodes must have one entry per residue) and calls `visit(passes)` after each,
  // `passes` telling whether it passed the checks of symmetry and WIDESPREAD. Stops as soon as
  // `visit` returns false, and then returns false.
  bool ForEachSequence(const tPass& pass, tStructure& structure,
                       const std::function<bool(bool passes)>& visit) const;

  // The choices of the sequence held in `structure`, in the order of generation.
  void Choices(const tStructure& structure, tSequenceChoices& choices) const;

  const tEntryFacts& Facts(std::uint8_t entry) const { return At(entries_, entry); }

 private:
  struct tPlacement;
  bool Place(tPlacement& placement, std::uint8_t node) const;
  bool SequencePasses(const tStructure& structure) const;
  bool Suits(const tStructure& structure, std::uint8_t position, std::uint8_t entry,
             std::uint8_t child_node) const;
  bool LinkageAllowed(std::uint8_t entry, std::uint8_t p1, std::uint8_t p2) const;
  void PositionChoices(const tStructure& structure, std::size_t node,
                       std::vector<tChoice>& options) const;
  void ConfigurationChoices(std::uint8_t entry, std::vector<tChoice>& options) const;

  const tTask& task_;
  const tTopologyTable& topologies_;
  std::uint8_t n_ = 0;
  std::array<tEntryFacts, kMaxResidues + 1> entries_{};  // by composition entry 1..n
};

}  // namespace glycomb
