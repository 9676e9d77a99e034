// The in-memory model of one candidate structure and the arrays in which its 13C spectrum is
// computed. All shifts and corrections are integers in tenths of a ppm.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "topology/structure.hpp"

namespace glycomb {

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
};

// Fills CarbonOffsets from the residues at the nodes of the working structure (checked: at most
// 255 carbons). Must be called whenever the residue at any node changes.
void BuildCarbonOffsets(tStructureModel& model, const tTask& task, const tResidueTable& residues);

// Gives CalculatedSpectrum one element per carbon of the composition and
// returns that total (checked 16-bit sum over composition entries 1..n).
std::uint16_t SizeSpectrumArrays(tStructureModel& model, const tTask& task,
                                 const tResidueTable& residues);

}  // namespace glycomb
