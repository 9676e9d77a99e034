// The task record: the composition of the repeating unit, the experimental spectrum and the options
// of a search, or the composition of the structure that /CALC calculates.
#pragma once

#include <cstdint>
#include <string>
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

struct tTask {
  std::uint8_t ResidueCount = 0;              // n, 1..9
  std::vector<tTaskResidue> Residues;         // n + 1 entries; entry 0 unused
  signal_array Spectrum;                      // corrected and sorted ascending
  std::uint8_t WideSpread = 0;
  std::uint8_t SpinSystems = 0;               // SPINSYSTEMS: every spectrum line is one residue
  std::uint8_t AutoCorrection = 0;            // CORRECTION: AUTO
  std::vector<signal_array> SpinLines;        // with SPINSYSTEMS: the lines, C1 first, corrected
  std::int8_t Correction = 0;
  std::uint8_t Limit = 20;
  std::uint8_t CalcMode = 0;                  // set by the driver for /CALC
  std::uint8_t Report = 0;                    // REPORT: also write the HTML and JSON report
  std::string CompositionText;                // composition line, blanks reduced
  std::string ResultFileName;                 // the .RES file of the task
};

}  // namespace glycomb
