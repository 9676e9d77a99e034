// What a report shows, as plain values: the task of a search and, for every kept structure, its
// scores, its two written forms and its repeating unit with the calculated shifts. The renderers
// read only these records, whatever computed them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// Marks a missing neighbour in a report unit.
inline constexpr int kNoResidue = -1;

// Marks a bond that no LINK line of the task fixed.
inline constexpr int kNoLink = -1;

// One residue of a repeating unit.
struct tReportResidue {
  std::string Name;  // as NAMES.PS writes it; "P" for the phosphate
  bool Phosphate = false;
  std::uint8_t RingKind = kPyranose;      // kPyranose .. kNonSugar
  std::uint8_t Anomeric = kAnomericNone;  // alpha or beta for pyranoses and furanoses only
  std::uint8_t Absolute = kAbsoluteD;
  bool NLinked = false;  // attached to its carrier through nitrogen
  // The residue written before this one in its own chain, attached at ChainPosition. For the first
  // residue of the main chain it is the last one: the unit closes on itself.
  int ChainChild = kNoResidue;
  std::uint8_t ChainPosition = 0;
  // The last residue of the side chain written before this one, attached at BranchPosition.
  int BranchChild = kNoResidue;
  std::uint8_t BranchPosition = 0;
  signal_array Calculated;  // C1, C2, ... in tenths of a ppm
  // The LINK line (index into the task's) that fixed the bond to this residue's carrier.
  int Link = kNoLink;
};

// A repeating unit; residues are numbered in the order the structure notation writes them.
struct tReportUnit {
  std::vector<tReportResidue> Residues;
  std::vector<int> MainChain;  // left to right; the last one is attached to the first
};

// One structure of a report.
struct tReportStructure {
  std::size_t Rank = 0;         // 1 for the best; 0 when it was not scored (/CALC)
  std::uint32_t Deviation = 0;  // sum of absolute differences, tenths of a ppm
  std::string MeanDeviation;    // per carbon, in ppm, as the result file writes it
  std::string Notation;         // the program's written form
  std::string Shape;            // topology shape, e.g. [x]xx
  std::uint8_t ShapeClass = kShapeLinear;
  std::string Iupac;  // IUPAC extended form of the repeating unit
  tReportUnit Unit;
  // Set only by scores that determine them:
  std::optional<std::int32_t> Offset;  // referencing offset of the measured spectrum, tenths
  // Per residue: the index (0 = first) of the measured spin-system line matched to it.
  std::optional<std::vector<int>> SpinSystems;
  // Per residue and carbon: the measured shift paired with the calculated one. Without it the
  // report pairs the sorted spectra by rank, as the deviation does.
  std::optional<std::vector<signal_array>> MatchedShifts;
  // The probability that this is the right structure among all the task allows (spin systems or
  // the automatic offset only): a lower bound, since the rest is bounded from above.
  std::optional<double> Probability;
};

// The task and the run of a search.
struct tReportTask {
  std::string TaskFile;
  std::string ResultFile;
  std::string Composition;
  signal_array Spectrum;  // measured, corrected, ascending
  std::int8_t Correction = 0;
  std::uint8_t Limit = 0;
  bool WideSpread = false;
  bool SpinSystems = false;     // scored residue by residue against the spectrum lines
  bool AutoCorrection = false;  // each structure with the offset that fits it best
  std::vector<tLink> Links;     // the task's LINK lines, in the order of the file
  std::int64_t StructuresChecked = 0;
  double ElapsedSeconds = 0;
};

struct tSearchReport {
  tReportTask Task;
  std::vector<tReportStructure> Structures;  // in rank order
  // At most the probability that the right structure is none of those listed (set with the
  // probabilities of the structures).
  std::optional<double> OutsideList;
};

}  // namespace glycomb
