// The composition of a repeating unit as the readers, the calculation and the search see it: one
// entry per residue, with its configurations and the constraints on its substitution positions.
#pragma once

#include <cstdint>
#include <vector>

namespace glycomb {

// Anomeric configuration codes of a composition entry.
inline constexpr std::uint8_t kAnomericAlpha = 0;
inline constexpr std::uint8_t kAnomericBeta = 1;
inline constexpr std::uint8_t kAnomericNone = 2;
inline constexpr std::uint8_t kAnomericUnknown = 3;

// Absolute configuration codes of a composition entry.
inline constexpr std::uint8_t kAbsoluteD = 0;
inline constexpr std::uint8_t kAbsoluteL = 1;
inline constexpr std::uint8_t kAbsoluteUnknown = 2;

// Substitution constraint codes besides the positions 2..9.
inline constexpr std::uint8_t kNoSubstituent = 0;
inline constexpr std::uint8_t kAnyPosition = 255;

// Experimental or calculated spectrum: shifts in tenths of a ppm.
using signal_array = std::vector<std::int32_t>;

// One composition entry.
struct tTaskResidue {
  std::uint8_t NameIndex = 0;                 // index in the residue table; 0 = phosphate
  std::uint8_t Anomeric = kAnomericUnknown;
  std::uint8_t Absolute = kAbsoluteUnknown;
  std::uint8_t Subst1 = kAnyPosition;         // constraint on the first substitution position
  std::uint8_t Subst2 = kAnyPosition;         // constraint on the second substitution position
};

// Entries 1..n of a composition; entry 0 is unused.
using tComposition = std::vector<tTaskResidue>;

// n, the number of residues of a composition.
inline unsigned ResidueCountOf(const tComposition& composition) {
  return composition.empty() ? 0u : static_cast<unsigned>(composition.size() - 1);
}

}  // namespace glycomb
