// The task record: the composition of the repeating unit, the experimental spectrum and the options
// of a search, or the composition of the structure that /CALC calculates.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "databases/composition.hpp"

namespace glycomb {

// A LINK line: the residue matched to spin system `From` is attached through its carbon 1 to
// position `Position` (0: any) of the residue matched to spin system `To` (both 1-based, as the
// task lists the spectrum lines).
struct tLink {
  std::uint8_t From = 0;
  std::uint8_t Position = 0;
  std::uint8_t To = 0;
  std::string Text;  // as the result file repeats it: "LINK: 3 (1->4) 5"
};

struct tTask {
  std::uint8_t ResidueCount = 0;              // n, 1..9
  tComposition Residues;                      // n + 1 entries; entry 0 unused
  signal_array Spectrum;                      // corrected and sorted ascending
  std::uint8_t WideSpread = 0;
  std::uint8_t SpinSystems = 0;               // SPINSYSTEMS: every spectrum line is one residue
  std::uint8_t AutoCorrection = 0;            // CORRECTION: AUTO
  std::vector<signal_array> SpinLines;        // with SPINSYSTEMS: the lines, C1 first, corrected
  std::int8_t Correction = 0;
  std::uint8_t Limit = 20;
  std::uint8_t CalcMode = 0;                  // set by the driver for /CALC
  std::uint8_t Report = 0;                    // REPORT: also write the HTML and JSON report
  std::uint8_t Distinct = 0;                  // DISTINCT: one entry per polymer
  std::vector<tLink> Links;                   // LINK lines, in the order of the file
  std::string CompositionText;                // composition line, blanks reduced
  std::string ResultFileName;                 // the .RES file of the task
};

// Whether the best-structure table keeps one entry per polymer: with DISTINCT, SPINSYSTEMS or the
// automatic offset.
inline bool OnePerPolymer(const tTask& task) {
  return task.Distinct != 0 || task.SpinSystems != 0 || task.AutoCorrection != 0;
}

}  // namespace glycomb
