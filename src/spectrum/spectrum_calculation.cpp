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

// A block that cannot be calculated: carries the message until the caller decides whether to
// print it.
struct EBlockFailed {
  std::string Message;
};

}  // namespace

unsigned tSpectrumCalculator::tSubstituent::Cell() const {
  return CellWith(Type, Anomeric, Absolute, C2Proton, C2Group, C1Peculiarity);
}

tSpectrumCalculator::tSpectrumCalculator(const tComposition& composition,
                                         const tResidueTable& residues,
                                         const tTopologyTable& topologies,
                                         const tShiftTable& shifts)
    : topologies_(topologies), shifts_(shifts) {
  for (std::size_t i = 1; i < composition.size(); ++i) {
    const std::uint8_t name_index = composition[i].NameIndex;
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

void tSpectrumCalculator::Calculate(const tStructure& structure,
                                    const std::uint8_t* carbon_offsets,
                                    std::int32_t* spectrum) const {
  std::array<tResidueBlock, kMaxResidues> blocks;
  if (structure.Nodes.size() > blocks.size()) CheckFailed("range check error: too many nodes");
  for (std::size_t i = 0; i < structure.Nodes.size(); ++i) {
    std::string message;
    if (!TryResidueBlock(structure, i, blocks[i], message)) FatalError(message);
  }
  AssembleSpectrum(structure, carbon_offsets, blocks.data(), spectrum);
}

void CalculateWorkingStructure(tStructureModel& model, const tCalculationTables& tables) {
  BuildCarbonOffsets(model, tables.Task, tables.Residues);
  SizeSpectrumArrays(model, tables.Task, tables.Residues);
  const tStructure& structure = model.WorkingStructure;
  if (model.CalculatedSpectrum.size() < At(model.CarbonOffsets, structure.Nodes.size())) {
    CheckFailed("range check error: spectrum shorter than the structure");
  }
  try {
    const tSpectrumCalculator calculator(tables.Task.Residues, tables.Residues, tables.Topologies,
                                         tables.Shifts);
    calculator.Calculate(structure, model.CarbonOffsets.data(), model.CalculatedSpectrum.data());
  } catch (const EErrorStop&) {
    HaltRun();
  }
}

bool tSpectrumCalculator::TryResidueBlock(const tStructure& structure, std::size_t node,
                                          tResidueBlock& block, std::string& message) const {
  try {
    Block(structure, node, block);
  } catch (const EBlockFailed& failure) {
    message = failure.Message;
    return false;
  }
  return true;
}

void tSpectrumCalculator::AssembleSpectrum(const tStructure& structure,
                                           const std::uint8_t* carbon_offsets,
                                           const tResidueBlock* blocks,
                                           std::int32_t* spectrum) const {
  const tTopology& topology = At(topologies_, structure.Topology);
  const std::size_t n = structure.Nodes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t carbons = At(entries_, structure.Nodes[i].Residue).CarbonCount;
    std::copy_n(blocks[i].Shifts.begin(), carbons, spectrum + carbon_offsets[i]);
  }
  // What a residue hands on lands on C1 (and C2) of its children, as far as they have them.
  const auto add = [&](std::uint8_t child, std::size_t carbon, std::int32_t value) {
    if (carbon_offsets[child] + carbon < carbon_offsets[child + 1]) {
      std::int32_t& shift = spectrum[carbon_offsets[child] + carbon];
      shift = CheckedAdd<std::int32_t>(shift, value);
    }
  };
  for (std::size_t i = 0; i < n; ++i) {
    const tTopologyNode& links = topology.Nodes[i];
    if (links.FirstChild != kNoChild) {
      add(links.FirstChild, 0, blocks[i].FirstChildC1);
      add(links.FirstChild, 1, blocks[i].FirstChildC2);
    }
    if (links.SecondChild != kNoChild) add(links.SecondChild, 0, blocks[i].SecondChildC1);
  }
}

tSpectrumCalculator::tSubstituent tSpectrumCalculator::Describe(
    const tStructure& structure, std::uint8_t child, const tStructureNode& residue) const {
  const tStructureNode& node = At(structure.Nodes, child);
  const tEntryFacts& facts = At(entries_, node.Residue);
  tSubstituent substituent;
  substituent.Type = facts.Type;
  substituent.Anomeric = node.Anomeric;
  substituent.Absolute = node.Absolute == residue.Absolute ? 0 : 1;
  substituent.C2Proton = facts.C2Proton;
  substituent.C2Group = facts.C2Group;
  substituent.C1Peculiarity = facts.C1Peculiarity;
  substituent.NLinked = facts.NLinked;
  return substituent;
}

// The ring corrections of C2 and C5 are the residue's own; they add to whatever other residues
// hand on to those carbons (a phosphate's C2 effect), whatever the order of the nodes. A residue
// with fewer carbons gets only the corrections of the carbons it has.
void tSpectrumCalculator::AddRingCorrections(const tEntryFacts& facts, std::uint8_t anomeric,
                                             tResidueBlock& block) const {
  if (facts.RingKind != kPyranose && facts.RingKind != kFuranose) return;
  const auto& c2 = At(C2Correction[facts.RingKind], anomeric);
  const auto& c5 = At(C5Correction[facts.RingKind], anomeric);
  if (facts.CarbonCount >= 2) block.Shifts[1] += c2[facts.Orientation];
  if (facts.CarbonCount >= 5) block.Shifts[4] += c5[facts.Orientation];
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

// Adds the effect of substituent `d` on `position` to the block's shifts and returns the
// correction it hands on to the substituent's C1.
std::int32_t tSpectrumCalculator::AddSubstituentEffect(const tShiftEntry& entry,
                                                       const tEntryFacts& facts,
                                                       const tSubstituent& d,
                                                       std::uint8_t position,
                                                       tResidueBlock& block) const {
  if (d.NLinked != 0) {
    const std::size_t carbon = position - 1u;
    if (carbon < 1 || carbon >= facts.CarbonCount) {
      CheckFailed("range check error: N-linked position outside the residue");
    }
    block.Shifts[carbon] += NLinkAlphaEffect;
    block.Shifts[carbon - 1] += NLinkBetaEffect;
    if (carbon + 1 < facts.CarbonCount) block.Shifts[carbon + 1] += NLinkBetaEffect;
    return NLinkC1Effect;
  }
  const realdata1e* set = entry.Effect(position, d.Cell());
  if (set == nullptr) set = NearestEffect(entry, d, position);
  if (set == nullptr) {
    throw EBlockFailed{"Could not find the " +
                       EffectCode(d.Type, d.C1Peculiarity, d.C2Group, d.C2Proton, d.Anomeric,
                                  d.Absolute == 0 ? "DD" : "DL", position) +
                       " effect for #" + facts.Record->Name + " or its ancestors"};
  }
  for (std::size_t k = 0; k < facts.CarbonCount; ++k) block.Shifts[k] += set->Shifts[k];
  return d.TakesC1Effect() ? static_cast<std::int32_t>(set->C1Effect) : 0;
}

void tSpectrumCalculator::Block(const tStructure& structure, std::size_t i,
                                tResidueBlock& block) const {
  block = tResidueBlock{};
  const tTopology& topology = At(topologies_, structure.Topology);
  const tStructureNode& node = At(structure.Nodes, i);
  const tEntryFacts& facts = At(entries_, node.Residue);
  const tTopologyNode& links = At(topology.Nodes, i);
  const bool has_first = links.FirstChild != kNoChild;
  const bool has_second = links.SecondChild != kNoChild;

  if (facts.IsPhosphate) {
    // A phosphate has no carbons; it corrects C1 and C2 of the residue bound to it.
    if (has_first) {
      const tStructureNode& child = At(structure.Nodes, links.FirstChild);
      const tShiftEntry& child_entry = shifts_.Entry(child.Residue, child.Anomeric);
      block.FirstChildC1 = child_entry.PhosphateC1Effect;
      block.FirstChildC2 = child_entry.PhosphateC2Effect;
    }
    return;
  }

  const tShiftEntry& entry = shifts_.Entry(node.Residue, node.Anomeric);
  tSubstituent low, high;
  if (has_first) low = Describe(structure, links.FirstChild, node);
  if (has_second) high = Describe(structure, links.SecondChild, node);
  std::uint8_t low_position = node.Subst1;
  std::uint8_t high_position = node.Subst2;
  // The substituent on the lower position comes first; `swapped` when that is the second child.
  bool swapped = false;
  std::uint8_t code = 0;
  if (node.Subst1 != 0 || node.Subst2 != 0) {
    if (node.Subst2 != 0 && node.Subst2 < node.Subst1) {
      code = SubstitutionCode(node.Subst2, node.Subst1);
      std::swap(low, high);
      std::swap(low_position, high_position);
      swapped = true;
    } else {
      code = SubstitutionCode(node.Subst1, node.Subst2);
    }
  }
  std::int32_t low_c1 = 0, high_c1 = 0;
  const auto hand_on = [&] {
    block.FirstChildC1 = swapped ? high_c1 : low_c1;
    block.SecondChildC1 = swapped ? low_c1 : high_c1;
  };

  const realdata1e* terminal = entry.Terminal();
  if (terminal == nullptr) CheckFailed("range check error: residue form without shift data");
  const std::size_t carbons = facts.CarbonCount;
  if (!has_first) {
    std::copy_n(terminal->Shifts.begin(), carbons, block.Shifts.begin());
    AddRingCorrections(facts, node.Anomeric, block);
    return;
  }
  if (low.NLinked == 0 && !(has_second && high.NLinked != 0)) {
    if (!has_second) {
      if (const realdata1e* set = entry.Mono(code, low.Cell())) {
        std::copy_n(set->Shifts.begin(), carbons, block.Shifts.begin());
        if (low.TakesC1Effect()) low_c1 = set->C1Effect;
        hand_on();
        return;
      }
    } else {
      const realdata2e* set = entry.Di(code, low.Cell(), high.Cell());
      if (set == nullptr) set = NearestPair(entry, code, low, high);
      if (set != nullptr) {
        std::copy_n(set->Shifts.begin(), carbons, block.Shifts.begin());
        if (low.TakesC1Effect()) low_c1 = set->C1Effects & 0xFFu;
        if (high.TakesC1Effect()) high_c1 = set->C1Effects >> 8;
        hand_on();
        return;
      }
    }
  }

  // Additive scheme: the terminal shifts, the ring corrections and one effect per substituent.
  std::copy_n(terminal->Shifts.begin(), carbons, block.Shifts.begin());
  AddRingCorrections(facts, node.Anomeric, block);
  low_c1 = AddSubstituentEffect(entry, facts, low, low_position, block);
  if (has_second) high_c1 = AddSubstituentEffect(entry, facts, high, high_position, block);
  hand_on();
}

}  // namespace glycomb
