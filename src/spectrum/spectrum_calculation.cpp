#include "spectrum/spectrum_calculation.hpp"

#include <algorithm>
#include <cstdlib>
#include <string>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "databases/descriptor.hpp"
#include "databases/effects_database.hpp"

namespace glycomb {
namespace {

// Candidate values of the C2 group and the C2 proton in the approximate searches.
constexpr std::uint8_t kC2Variants = 3;
// Mismatch count before any candidate is found.
constexpr std::uint8_t kNoMatch = 255;

unsigned CellWith(std::uint8_t type, std::uint8_t anomeric, std::uint8_t absolute,
                  std::uint8_t c2_proton, std::uint8_t c2_group, std::uint8_t c1_peculiarity) {
  return DescriptorCell(type, anomeric, absolute, c2_proton, c2_group, c1_peculiarity);
}

}  // namespace

unsigned tSpectrumCalculator::tSubstituent::Cell() const {
  return CellWith(Type, Anomeric, Absolute, C2Proton, C2Group, C1Peculiarity);
}

tSpectrumCalculator::tSpectrumCalculator(const tTask& task, const tResidueTable& residues,
                                         const tTopologyTable& topologies,
                                         const tShiftTable& shifts, tStructureModel& model)
    : task_(task), topologies_(topologies), shifts_(shifts), model_(model) {
  for (std::size_t i = 1; i <= task.ResidueCount; ++i) {
    const std::uint8_t name_index = At(task.Residues, i).NameIndex;
    const tNameRecord& record = At(residues, name_index);
    tEntryFacts& facts = At(entries_, i);
    facts.RingKind = record.RingKind;
    facts.Type = record.C1Peculiarity == kC1Phosphate ? kNonSugar : record.RingKind;
    facts.C1Peculiarity = record.C1Peculiarity;
    facts.C2Proton = record.C2ProtonOrientation;
    facts.C2Group = record.C2Substituent;
    facts.NLinked = record.NLinked;
    facts.CarbonCount = record.CarbonCount;
    facts.Orientation = OrientationCode(record);
    facts.IsPhosphate = name_index == 0;
    facts.Record = &record;
  }
}

std::uint16_t tSpectrumCalculator::CalculateSpectrum() {
  try {
    return Calculate();
  } catch (const EErrorStop&) {
    HaltRun();
  }
}

tSpectrumCalculator::tSubstituent tSpectrumCalculator::Describe(
    std::uint8_t child, const tStructureNode& residue) const {
  const tStructureNode& node = At(model_.WorkingStructure.Nodes, child);
  const tEntryFacts& facts = At(entries_, node.Residue);
  tSubstituent substituent;
  substituent.Offset = At(model_.CarbonOffsets, child);
  substituent.Type = facts.Type;
  substituent.Anomeric = node.Anomeric;
  substituent.Absolute = node.Absolute == residue.Absolute ? 0 : 1;
  substituent.C2Proton = facts.C2Proton;
  substituent.C2Group = facts.C2Group;
  substituent.C1Peculiarity = facts.C1Peculiarity;
  substituent.NLinked = facts.NLinked;
  return substituent;
}

void tSpectrumCalculator::AddCorrection(std::size_t carbon, std::int32_t value) {
  std::int32_t& correction = At(model_.CarbonCorrections, carbon);
  correction = CheckedAdd<std::int32_t>(correction, value);
}

// The ring corrections replace what C2 and C5 have collected so far. A residue with fewer
// carbons gets only the corrections of the carbons it has.
void tSpectrumCalculator::ApplyRingCorrections(const tEntryFacts& facts, std::uint8_t anomeric,
                                               std::size_t start) {
  if (facts.RingKind != kPyranose && facts.RingKind != kFuranose) return;
  const auto& c2 = At(C2Correction[facts.RingKind], anomeric);
  const auto& c5 = At(C5Correction[facts.RingKind], anomeric);
  if (facts.CarbonCount >= 2) At(model_.CarbonCorrections, start + 1) = c2[facts.Orientation];
  if (facts.CarbonCount >= 5) At(model_.CarbonCorrections, start + 4) = c5[facts.Orientation];
}

const realdata1e* tSpectrumCalculator::NearestEffect(const tShiftEntry& entry,
                                                     const tSubstituent& d,
                                                     std::uint8_t position) const {
  std::uint8_t best = kNoMatch;
  const realdata1e* found = nullptr;
  for (std::uint8_t group = 0; group < kC2Variants; ++group) {
    if (best == 1) break;
    for (std::uint8_t proton = 0; proton < kC2Variants; ++proton) {
      const std::uint8_t mismatches =
          static_cast<std::uint8_t>((d.C2Group != group) + (d.C2Proton != proton));
      if (mismatches >= best) break;
      const realdata1e* set = entry.Effect(
          position, CellWith(d.Type, d.Anomeric, d.Absolute, proton, group, d.C1Peculiarity));
      if (set != nullptr) {
        best = mismatches;
        found = set;
      }
    }
  }
  return found;
}

const realdata2e* tSpectrumCalculator::NearestPair(const tShiftEntry& entry, std::uint8_t code,
                                                   const tSubstituent& low,
                                                   const tSubstituent& high) const {
  std::uint8_t best = kNoMatch;
  const realdata2e* found = nullptr;
  for (std::uint8_t group1 = 0; group1 < kC2Variants; ++group1) {
    for (std::uint8_t group2 = 0; group2 < kC2Variants; ++group2) {
      if (best == 1) return found;
      for (std::uint8_t proton1 = 0; proton1 < kC2Variants; ++proton1) {
        const unsigned cell1 = CellWith(low.Type, low.Anomeric, low.Absolute, proton1, group1,
                                        low.C1Peculiarity);
        for (std::uint8_t proton2 = 0; proton2 < kC2Variants; ++proton2) {
          const std::uint8_t mismatches = static_cast<std::uint8_t>(
              (low.C2Group != group1) + (high.C2Group != group2) + (low.C2Proton != proton1) +
              (high.C2Proton != proton2));
          if (mismatches >= best) break;
          const realdata2e* set = entry.Di(
              code, cell1,
              CellWith(high.Type, high.Anomeric, high.Absolute, proton2, group2,
                       high.C1Peculiarity));
          if (set != nullptr) {
            best = mismatches;
            found = set;
          }
        }
      }
    }
  }
  return found;
}

void tSpectrumCalculator::ApplySubstituentEffect(const tShiftEntry& entry,
                                                 const tEntryFacts& facts,
                                                 const tSubstituent& d, std::uint8_t position,
                                                 std::size_t start, std::size_t end) {
  signal_array& spectrum = model_.CalculatedSpectrum;
  if (d.NLinked != 0) {
    const std::size_t carbon = start + position - 1;
    std::int32_t& shift = At(spectrum, carbon);
    shift = CheckedAdd<std::int32_t>(shift, NLinkAlphaEffect);
    std::int32_t& before = At(spectrum, carbon - 1);
    before = CheckedAdd<std::int32_t>(before, NLinkBetaEffect);
    if (carbon + 1 < end) {
      std::int32_t& after = At(spectrum, carbon + 1);
      after = CheckedAdd<std::int32_t>(after, NLinkBetaEffect);
    }
    AddCorrection(d.Offset, NLinkC1Effect);
    return;
  }
  const realdata1e* set = entry.Effect(position, d.Cell());
  if (set == nullptr) set = NearestEffect(entry, d, position);
  if (set == nullptr) {
    FatalError("Could not find the " +
               EffectCode(d.Type, d.C1Peculiarity, d.C2Group, d.C2Proton, d.Anomeric,
                          d.Absolute == 0 ? "DD" : "DL", position) +
               " effect for #" + facts.Record->Name + " or its ancestors");
  }
  realdata2e& work = model_.WorkShifts;
  work.C1Effects = static_cast<std::uint16_t>((work.C1Effects & 0xFF00u) | set->C1Effect);
  work.Shifts = set->Shifts;
  for (std::size_t k = 0; k < facts.CarbonCount; ++k) {
    std::int32_t& shift = At(spectrum, start + k);
    shift = CheckedAdd<std::int32_t>(shift, work.Shifts[k]);
  }
  if (d.TakesC1Effect()) AddCorrection(d.Offset, static_cast<std::int32_t>(work.C1Effects & 0xFFu));
}

std::uint16_t tSpectrumCalculator::Calculate() {
  model_.StructuresChecked = CheckedAdd<std::int32_t>(model_.StructuresChecked, 1);
  std::fill(model_.CarbonCorrections.begin(), model_.CarbonCorrections.end(), 0);
  const tStructure& structure = model_.WorkingStructure;
  const tTopology& topology = At(topologies_, structure.Topology);
  signal_array& spectrum = model_.CalculatedSpectrum;
  realdata2e& work = model_.WorkShifts;

  for (std::size_t i = 0; i < structure.Nodes.size(); ++i) {
    const tStructureNode& node = structure.Nodes[i];
    const tEntryFacts& facts = At(entries_, node.Residue);
    const tShiftEntry& entry = shifts_.Entry(node.Residue, node.Anomeric);
    const std::size_t start = At(model_.CarbonOffsets, i);
    const std::size_t end = At(model_.CarbonOffsets, i + 1);
    const tTopologyNode& links = At(topology.Nodes, i);
    const bool has_first = links.FirstChild != kNoChild;
    const bool has_second = links.SecondChild != kNoChild;

    if (facts.IsPhosphate) {
      // A phosphate has no carbons; it corrects C1 and C2 of the residue bound to it, as far as
      // that residue has them.
      if (has_first) {
        const tStructureNode& child = At(structure.Nodes, links.FirstChild);
        const std::size_t child_start = At(model_.CarbonOffsets, links.FirstChild);
        const std::size_t child_carbons = At(entries_, child.Residue).CarbonCount;
        const tShiftEntry& child_entry = shifts_.Entry(child.Residue, child.Anomeric);
        if (child_carbons >= 1) AddCorrection(child_start, child_entry.PhosphateC1Effect);
        if (child_carbons >= 2) AddCorrection(child_start + 1, child_entry.PhosphateC2Effect);
      }
      continue;
    }

    tSubstituent low, high;
    if (has_first) low = Describe(links.FirstChild, node);
    if (has_second) high = Describe(links.SecondChild, node);
    std::uint8_t low_position = node.Subst1;
    std::uint8_t high_position = node.Subst2;
    std::uint8_t code = 0;
    if (node.Subst1 != 0 || node.Subst2 != 0) {
      if (node.Subst2 != 0 && node.Subst2 < node.Subst1) {
        code = SubstitutionCode(node.Subst2, node.Subst1);
        std::swap(low, high);
        std::swap(low_position, high_position);
      } else {
        code = SubstitutionCode(node.Subst1, node.Subst2);
      }
    }

    const realdata1e* terminal = entry.Terminal();
    if (terminal == nullptr) CheckFailed("range check error: residue form without shift data");
    bool found = false;
    if (!has_first) {
      work.C1Effects = 0;
      work.Shifts = terminal->Shifts;
      ApplyRingCorrections(facts, node.Anomeric, start);
      found = true;
    } else if (low.NLinked == 0 && !(has_second && high.NLinked != 0)) {
      if (!has_second) {
        if (const realdata1e* set = entry.Mono(code, low.Cell())) {
          work.C1Effects = set->C1Effect;
          work.Shifts = set->Shifts;
          found = true;
        }
      } else {
        const realdata2e* set = entry.Di(code, low.Cell(), high.Cell());
        if (set == nullptr) set = NearestPair(entry, code, low, high);
        if (set != nullptr) {
          work = *set;
          found = true;
        }
      }
    }

    if (found) {
      for (std::size_t k = 0; k < facts.CarbonCount; ++k) At(spectrum, start + k) = work.Shifts[k];
      if (has_first && low.TakesC1Effect()) AddCorrection(low.Offset, static_cast<std::int32_t>(work.C1Effects & 0xFFu));
      if (has_second && high.TakesC1Effect()) AddCorrection(high.Offset, static_cast<std::int32_t>(work.C1Effects >> 8));
      continue;
    }

    for (std::size_t k = 0; k < facts.CarbonCount; ++k) {
      At(spectrum, start + k) = terminal->Shifts[k];
    }
    ApplyRingCorrections(facts, node.Anomeric, start);
    ApplySubstituentEffect(entry, facts, low, low_position, start, end);
    if (has_second) ApplySubstituentEffect(entry, facts, high, high_position, start, end);
  }

  for (std::size_t k = 0; k < spectrum.size(); ++k) {
    spectrum[k] = CheckedAdd<std::int32_t>(spectrum[k], At(model_.CarbonCorrections, k));
  }
  if (task_.CalcMode != 0) return kNoDeviation;
  // Any ascending sort gives the same order of these integers as the exchange sort of the task.
  std::sort(spectrum.begin(), spectrum.end());
  return Deviation();
}

std::uint16_t tSpectrumCalculator::Deviation() const {
  const signal_array& calculated = model_.CalculatedSpectrum;
  const signal_array& experimental = task_.Spectrum;
  if (calculated.size() != experimental.size()) {
    CheckFailed("range check error: spectra of different lengths");
  }
  std::uint16_t sum = 0;
  for (std::size_t k = 0; k < calculated.size(); ++k) {
    const std::int32_t difference = CheckedSub<std::int32_t>(calculated[k], experimental[k]);
    sum = CheckedAdd<std::uint16_t>(sum, difference < 0 ? -static_cast<std::int64_t>(difference)
                                                        : static_cast<std::int64_t>(difference));
  }
  return sum;
}

}  // namespace glycomb
