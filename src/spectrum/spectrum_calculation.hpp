// The additive calculation of the 13C spectrum of the working structure and its score against the
// experimental spectrum.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "scoring/spectrum_score.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// CalculateSpectrum's result in /CALC mode.
inline constexpr std::uint32_t kNoDeviation = 65535;

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

// Scores the candidate held in the working structure: the search offers every candidate that
// the best-structure table does not hold yet.
class tCandidateScorer {
 public:
  virtual ~tCandidateScorer() = default;
  // The candidate's deviation; LastScore() holds it with its offset and spin-system assignment.
  virtual std::uint32_t CalculateSpectrum() = 0;
  virtual const tScore& LastScore() const = 0;
};

// Calculates spectra of the structure held in the model. Built once the task, the databases and
// the topology table are loaded; keeps references to them, which must outlive it. Every
// calculation reads plain arrays and allocates nothing.
class tSpectrumCalculator : public tCandidateScorer {
 public:
  tSpectrumCalculator(const tTask& task, const tResidueTable& residues,
                      const tTopologyTable& topologies, const tShiftTable& shifts,
                      tStructureModel& model);

  // Computes CalculatedSpectrum of the working structure (CarbonOffsets must be current) and
  // counts it in StructuresChecked. In search mode the spectrum ends sorted ascending and the
  // result is the deviation (the score's sum); in /CALC mode it stays in carbon order and the
  // result is kNoDeviation. A missing effect or an internal error is reported and ends the run
  // (HaltRun).
  std::uint32_t CalculateSpectrum() override;
  const tScore& LastScore() const override { return score_; }
  // The measured spectrum as the scores read it.
  const tMeasuredSpectrum& Measured() const { return measured_; }

  // The block of the residue at `node` of `structure` (of this calculator's topology table).
  // A missing effect or an internal error raises EErrorStop after its message; `quiet` builds the
  // message into `message` instead of printing it (for callers that report it later or not at
  // all). Thread-safe: reads only the tables.
  tResidueBlock ResidueBlock(const tStructure& structure, std::size_t node) const;
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

  const tTask& task_;
  const tTopologyTable& topologies_;
  const tShiftTable& shifts_;
  tStructureModel& model_;
  tMeasuredSpectrum measured_;
  tSpectrumScorer scorer_;
  tScore score_;
  signal_array carbon_order_;  // the calculated spectrum before it is sorted
  std::array<tEntryFacts, 10> entries_{};  // by composition entry 1..n
  std::array<tResidueBlock, kMaxResidues> blocks_{};
};

}  // namespace glycomb
