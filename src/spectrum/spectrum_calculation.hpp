// The additive calculation of the 13C spectrum of a structure from the shift table, residue by
// residue.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// What one residue contributes to the spectrum: the shifts of its own carbons, its ring
// corrections included, and the corrections it hands on to the residues it carries (the C1
// effects of its substituents; for a phosphate, its effects on C1 and C2 of the residue bound to
// it). A block depends only on the residue's node entry and on those of its children.
struct tResidueBlock {
  std::array<std::int32_t, kMaxCarbons> Shifts{};
  std::int32_t FirstChildC1 = 0;  // added to C1 of the residue at the node's first child
  std::int32_t SecondChildC1 = 0;  // added to C1 of the residue at its second child
  std::int32_t FirstChildC2 = 0;   // added to C2 of the residue at its first child
};

// The loaded tables a calculation reads; they must outlive every call that takes them.
struct tCalculationTables {
  const tTask& Task;
  const tResidueTable& Residues;
  const tTopologyTable& Topologies;
  const tShiftTable& Shifts;
};

// Calculates the 13C spectra of structures of one composition. Keeps references to the tables,
// which must outlive it. Reads plain arrays and allocates nothing; every member is const, so the
// threads of a search may share one calculator.
class tSpectrumCalculator {
 public:
  tSpectrumCalculator(const tComposition& composition, const tResidueTable& residues,
                      const tTopologyTable& topologies, const tShiftTable& shifts);

  // The spectrum of `structure` in carbon order into `spectrum`, C1 of node i at
  // carbon_offsets[i] (as BuildCarbonOffsets gives them). A missing effect or an internal error
  // prints its message and raises EErrorStop.
  void Calculate(const tStructure& structure, const std::uint8_t* carbon_offsets,
                 std::int32_t* spectrum) const;

  // The block of the residue at `node` of `structure` (of this calculator's topology table); false,
  // with the message in `message` and nothing printed, when it cannot be calculated (a missing
  // effect), so that the caller decides whether and when to report it.
  bool TryResidueBlock(const tStructure& structure, std::size_t node, tResidueBlock& block,
                       std::string& message) const;

  // Adds the blocks of every node into `spectrum` (carbon order, sized to the carbons of the
  // composition) as a calculation does; `blocks` holds one block per node.
  void AssembleSpectrum(const tStructure& structure, const std::uint8_t* carbon_offsets,
                        const tResidueBlock* blocks, std::int32_t* spectrum) const;

 private:
  // What the calculation needs of the residue type of a composition entry.
  struct tEntryFacts {
    std::uint8_t Type = 0;  // substituent type: RingKind, or 3 for a phosphate-type residue
    std::uint8_t RingKind = 0;
    std::uint8_t C1Peculiarity = 0;
    std::uint8_t C2Proton = 0;
    std::uint8_t C2Group = 0;
    std::uint8_t NLinked = 0;
    std::uint8_t CarbonCount = 0;
    std::uint8_t Orientation = 0;
    bool IsPhosphate = false;  // the built-in "P"
    const tNameRecord* Record = nullptr;
  };
  // A substituent of the residue being processed.
  struct tSubstituent {
    std::uint8_t Type = 0;
    std::uint8_t Anomeric = 0;
    std::uint8_t Absolute = 0;  // 0 same as the residue, 1 different
    std::uint8_t C2Proton = 0;
    std::uint8_t C2Group = 0;
    std::uint8_t C1Peculiarity = 0;
    std::uint8_t NLinked = 0;
    unsigned Cell() const;
    // Whether the effect on its C1 is collected (not for phosphates and non-sugars).
    bool TakesC1Effect() const { return Type != 3 && C1Peculiarity != kC1Phosphate; }
  };

  void Block(const tStructure& structure, std::size_t node, tResidueBlock& block) const;
  tSubstituent Describe(const tStructure& structure, std::uint8_t child,
                        const tStructureNode& residue) const;
  void AddRingCorrections(const tEntryFacts& facts, std::uint8_t anomeric,
                          tResidueBlock& block) const;
  std::int32_t AddSubstituentEffect(const tShiftEntry& entry, const tEntryFacts& facts,
                                    const tSubstituent& substituent, std::uint8_t position,
                                    tResidueBlock& block) const;
  const realdata1e* NearestEffect(const tShiftEntry& entry, const tSubstituent& substituent,
                                  std::uint8_t position) const;
  const realdata2e* NearestPair(const tShiftEntry& entry, std::uint8_t code,
                                const tSubstituent& low, const tSubstituent& high) const;

  const tTopologyTable& topologies_;
  const tShiftTable& shifts_;
  std::array<tEntryFacts, kMaxResidues + 1> entries_{};  // by composition entry 1..n
};

// Calculates the working structure of `model` on its own: fills its CarbonOffsets and gives its
// CalculatedSpectrum the structure's shifts in carbon order. A missing effect or an internal error
// is reported and ends the run (HaltRun).
void CalculateWorkingStructure(tStructureModel& model, const tCalculationTables& tables);

}  // namespace glycomb
