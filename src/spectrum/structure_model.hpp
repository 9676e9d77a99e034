// The in-memory model of one candidate structure and the arrays in which its 13C spectrum is
// computed. All shifts and corrections are integers in tenths of a ppm.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "databases/names_database.hpp"
#include "input/task.hpp"

namespace glycomb {

// The largest number of carbons of one residue.
inline constexpr int kMaxCarbons = 9;

// What is placed at one topology node.
struct tStructureNode {
  std::uint8_t Residue = 0;   // composition entry 1..n
  std::uint8_t Anomeric = 0;  // 0 alpha, 1 beta (0 for residues without anomeric forms)
  std::uint8_t Absolute = 0;  // 0 D, 1 L
  std::uint8_t Subst1 = 0;    // position carrying the residue at the node's first child; 0 none
  std::uint8_t Subst2 = 0;    // position carrying the residue at the node's second child; 0 none
};

bool operator==(const tStructureNode& a, const tStructureNode& b);

// One candidate structure: its topology index and one node entry per topology node.
struct tStructure {
  std::uint8_t Topology = 0;
  std::vector<tStructureNode> Nodes;
};

// A shift set of the databases: the effect on C1 of the substituent it describes and one value per
// carbon of the residue, C1 first (only the residue's CarbonCount values are meaningful).
struct realdata1e {
  std::uint8_t C1Effect = 0;
  std::array<std::int32_t, kMaxCarbons> Shifts{};
};

// A shift set of a residue with two substituents: C1 effect on the first substituent in the low
// byte, on the second in the high byte.
struct realdata2e {
  std::uint16_t C1Effects = 0;
  std::array<std::int32_t, kMaxCarbons> Shifts{};
};

// Ring corrections of C2 and C5, by ring (0 pyranose, 1 furanose), anomeric form and the
// orientation code of the residue (4 x [H4 equatorial] + 2 x [H3 equatorial] + [H2 equatorial]).
using tRingCorrectionTable = std::array<std::array<std::array<std::int8_t, 8>, 2>, 2>;
extern const tRingCorrectionTable C2Correction;
extern const tRingCorrectionTable C5Correction;

// Effects of an N-linked substituent: on the carbon carrying it, on its neighbours, and on the
// substituent's C1.
inline constexpr std::int8_t NLinkAlphaEffect = -30;
inline constexpr std::int8_t NLinkBetaEffect = 10;
inline constexpr std::int8_t NLinkC1Effect = 0;

// The orientation code of a residue type.
std::uint8_t OrientationCode(const tNameRecord& record);

// The working structure and the arrays of its spectrum calculation. Sized before a calculation or
// a search; nothing in it is allocated per candidate.
struct tStructureModel {
  tStructure WorkingStructure;
  // Index of C1 of the residue at each node; the last entry is the total number of carbons.
  std::vector<std::uint8_t> CarbonOffsets;
  signal_array CalculatedSpectrum;
  // Corrections collected during a calculation and added at its end. Wider than a byte so that
  // C1 effects up to 25.5 ppm and sums of corrections are held without wrapping.
  std::vector<std::int32_t> CarbonCorrections;
  realdata2e WorkShifts;
  std::int64_t StructuresChecked = 0;
};

// Fills CarbonOffsets from the residues at the nodes of the working structure (checked: at most
// 255 carbons). Must be called whenever the residue at any node changes.
void BuildCarbonOffsets(tStructureModel& model, const tTask& task, const tResidueTable& residues);

// Gives CalculatedSpectrum and CarbonCorrections one element per carbon of the composition and
// returns that total (checked 16-bit sum over composition entries 1..n).
std::uint16_t SizeSpectrumArrays(tStructureModel& model, const tTask& task,
                                 const tResidueTable& residues);

}  // namespace glycomb
