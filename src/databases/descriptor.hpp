// Substituent descriptors and substitution slots: how the shift and effect tables are indexed.
// A substituent is described by six small indices; together they pick one of 576 grid cells.
// A substitution pattern (one position, or two positions) picks a slot.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace glycomb {

// Ranges of the six descriptor indices, outermost first.
inline constexpr unsigned kTypeCount = 4;           // 0 pyranose, 1 furanose, 2 alditol, 3 P or N
inline constexpr unsigned kAnomericCount = 2;       // 0 alpha, 1 beta
inline constexpr unsigned kAbsoluteCount = 2;       // 0 same as the residue, 1 different
inline constexpr unsigned kC2ProtonCount = 3;       // 0 equatorial, 1 axial, 2 open chain
inline constexpr unsigned kC2GroupCount = 3;        // 0 amino, 1 hydroxy, 2 deoxy
inline constexpr unsigned kC1PeculiarityCount = 4;  // 0 normal, 1 c, 2 a, 3 phosphate

inline constexpr unsigned kDescriptorCells = kTypeCount * kAnomericCount * kAbsoluteCount *
                                             kC2ProtonCount * kC2GroupCount * kC1PeculiarityCount;
static_assert(kDescriptorCells == 576);

// The grid cell of a substituent descriptor. The arguments must lie in their ranges above.
constexpr unsigned DescriptorCell(unsigned type, unsigned anomeric, unsigned absolute,
                                  unsigned c2_proton, unsigned c2_group, unsigned c1_peculiarity) {
  unsigned cell = type;
  cell = cell * kAnomericCount + anomeric;
  cell = cell * kAbsoluteCount + absolute;
  cell = cell * kC2ProtonCount + c2_proton;
  cell = cell * kC2GroupCount + c2_group;
  return cell * kC1PeculiarityCount + c1_peculiarity;
}

// Where the six letters of a substituent descriptor stand on a line of a data file (column 1 is
// the first character), and the letters the file uses for a C2 proton of an open chain.
struct tDescriptorLayout {
  std::size_t C1Peculiarity, Type, Anomeric, Absolute, C2Group, C2Proton;
  const char* OpenChainLetters;  // "CcXx" in the c13data files, "OoXx" in EFFECTS.PS
};

// The letter of a descriptor that could not be read, in the order they are read.
enum class tDescriptorFault { kNone, kC1Peculiarity, kType, kAnomeric, kAbsolute, kC2Group, kC2Proton };

// The grid cell of the descriptor whose letters stand at `layout` on `line`: type S, F, A, P or N
// (P a non-sugar with the phosphate peculiarity), the anomeric letter only for S and F. Sets
// `fault` to the first letter that cannot be read (the result is then 0), else to kNone.
unsigned DecodeDescriptor(const std::string& line, const tDescriptorLayout& layout,
                          tDescriptorFault& fault);

// Number of one-substituent slots (positions 2..c) and of two-substituent slots of a residue with
// `carbon_count` carbons.
constexpr unsigned MonoSlotCount(unsigned carbon_count) {
  return carbon_count < 2 ? 0 : carbon_count - 1;
}
constexpr unsigned PairSlotCount(unsigned carbon_count) {
  return carbon_count < 3 ? 0 : (carbon_count - 1) * (carbon_count - 2) / 2;
}

// The slot of a substitution pattern: first - 2 for one substituent (second = 0), and
// (second - 2)(second - 3)/2 + (first - 2) for two positions 2 <= first < second <= 9. Other
// positions give 255, except that first = 9 always gives 7. A position 1, equal positions, a
// higher position first, or a second position without a first one are internal errors (fatal).
std::uint8_t SubstitutionCode(std::uint8_t first, std::uint8_t second);

}  // namespace glycomb
