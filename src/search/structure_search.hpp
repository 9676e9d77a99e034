// The enumeration of candidate structures for one topology and start node: residue placement,
// linkage positions and open configurations, each candidate offered to the best-structure table.
#pragma once

#include <array>
#include <cstdint>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "search/best_structures.hpp"
#include "spectrum/spectrum_calculation.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

class tStructureSearch {
 public:
  // Keeps references to the loaded task, tables and model, which must outlive it. The working
  // structure's node array must already have one entry per residue.
  tStructureSearch(const tTask& task, const tResidueTable& residues,
                   const tTopologyTable& topologies, tStructureModel& model,
                   tCandidateScorer& scorer, tBestStructures& best);
  virtual ~tStructureSearch() = default;

  // Searches every topology of the table in catalogue order (those of Shape 2 only without
  // WIDESPREAD) from each of its start nodes in ascending order.
  void SearchAllTopologies();

  // Searches every sequence with composition entry 1 on `start_node` of the current topology
  // (the working structure's Topology). Skips the start node when the WIDESPREAD rule excludes it.
  // Returns when every candidate of the pass has been offered, or ends the run (HaltRun) when a
  // stop request is found after a sequence.
  void SearchFromStartNode(std::uint8_t start_node);

  // Places residues from `node` on (every order of the composition entries not yet used).
  void PlaceResidues(std::uint8_t node);
  // Chooses the substitution positions of the nodes from `node` on.
  void EnumerateLinkages(std::uint8_t node);
  // Fixes the open configurations of the nodes from `node` on and offers every candidate.
  void EnumerateConfigurations(std::uint8_t node);
  // Whether the substitution positions p1, p2 (0 = none) meet the constraints of composition
  // entry `entry`.
  bool LinkageAllowed(std::uint8_t entry, std::uint8_t p1, std::uint8_t p2) const;

  std::int32_t SequenceCount = 0;  // sequences that passed the checks
  // Upper bound of the number of sequences of the whole search, shown before it starts and used
  // for the progress line: (n - 1)! times the start nodes of the topologies searched.
  std::int32_t SequenceEstimate = 0;
  double SearchStartTime = 0;  // in days
  std::uint8_t StartNode = 0;
  std::array<std::uint8_t, 10> UsedResidues{};

 protected:
  // Called for every sequence that passes the checks, after its progress step: enumerates its
  // linkages and configurations and offers every candidate.
  virtual void SearchSequence();
  // The progress step of a sequence that passes the checks.
  virtual void ShowSequenceProgress();
  // Whether the search goes on after a complete sequence: until a stop request arrives.
  virtual bool KeepGoing() const;
  // Called after every complete sequence when KeepGoing is false.
  [[noreturn]] virtual void Stop();

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

  bool SequencePasses() const;
  bool Suits(std::uint8_t position, std::uint8_t residue_entry, std::uint8_t child_node) const;
  void AbsoluteStep(std::uint8_t node);
  void OfferCandidate();

 protected:
  const tTask& task_;
  const tTopologyTable& topologies_;
  tStructureModel& model_;
  const tResidueTable& residues_;
  tCandidateScorer& scorer_;
  tBestStructures& best_;
  std::uint8_t n_ = 0;
  std::array<tEntryFacts, 10> entries_{};  // by composition entry 1..n
};

}  // namespace glycomb
