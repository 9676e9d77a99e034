// What the data settle and what would decide the rest: from the kept polymers of a search scored
// against spin systems, and their probabilities, the facts every likely polymer shares, the ones
// they disagree on, and the inter-residue correlations that would tell the alternatives apart.
// Pure functions over the report records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "report/report_model.hpp"

namespace glycomb {

// The summed probability that the likely set reaches, unless every kept polymer together falls
// short of it.
inline constexpr double kLikelyMass = 0.95;

// The polymers that share one value of a feature: their ranks (ascending) and summed probability.
struct tSharers {
  std::vector<std::size_t> Ranks;
  double Probability = 0;
};

// The residue matched to a spin system. Two are the same when name, ring, configurations agree.
struct tResidueValue {
  std::string Name;  // as NAMES.PS writes it
  std::uint8_t RingKind = 0;
  std::uint8_t Anomeric = 0;
  std::uint8_t Absolute = 0;
  std::string Iupac;  // as the first polymer of the set that has it names it: "β-D-Galf"
  tSharers Sharers;
};

// What the residue of a spin system is attached to through its C1.
struct tAttachmentValue {
  bool Phosphate = false;  // carried by a phosphate: no spin system, no position
  int Carrier = 0;         // spin system of the carrier, 0 = first
  std::uint8_t Position = 0;
  tSharers Sharers;
};

// The two features of one spin system: settled when every polymer of the likely set has the same
// value, open otherwise.
// Values are in order of falling probability (then of the best rank having them).
struct tSpinSystemFacts {
  int SpinSystem = 0;  // 0 = first line of the spectrum
  std::vector<tResidueValue> Residue;
  std::vector<tAttachmentValue> Attachment;
  // Every polymer of the likely set has the one value.
  bool ResidueSettled = false;
  bool AttachmentSettled = false;
};

// A LINK line that splits the likely set: present in the polymers whose residue on `From` is
// attached at `Position` of the residue on `To`, absent in the others.
struct tDecidingLink {
  int From = 0;  // spin systems, 0 = first
  std::uint8_t Position = 0;
  int To = 0;
  tSharers Present;
  tSharers Absent;
};

struct tConsensus {
  // The likely set: the fewest polymers, in rank order, whose probabilities reach kLikelyMass.
  tSharers Likely;
  std::vector<tSpinSystemFacts> SpinSystems;  // by spin system
  // One per alternative of every open attachment that a LINK line can name (not a phosphate),
  // the most even split of probability first.
  std::vector<tDecidingLink> Deciding;
};

// The consensus of `report`, or nothing when a kept structure has no probability or no spin-system
// assignment (only searches against spin systems have residues to compare across polymers), or
// when nothing was kept. Structures must be in rank order.
std::optional<tConsensus> FindConsensus(const tSearchReport& report);

// The LINK line that states `link`, as a task file takes it: "LINK: 3 (1->3) 5".
std::string LinkLineText(const tDecidingLink& link);

// What a chemist looks for and what each outcome means:
// "HMBC H-1 of spin system 3 / C-3 of spin system 5: present in 1 and 3 (0.71), absent in 2 (0.22)".
std::string DecidingText(const tDecidingLink& link);

// Ranks as a reader lists them: "2", "1 and 3", "1, 3 and 4".
std::string RankList(const std::vector<std::size_t>& ranks);

}  // namespace glycomb
