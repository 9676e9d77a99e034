// An in-memory setting for spectrum tests: a small residue table, a task, the topology table, a
// shift table filled by hand and the structure model. Shift values are chosen so that expected
// spectra can be worked out by hand: the terminal shift of carbon Ck of composition entry r in
// form a is 100 x k + 10 x r + a (entry 2, beta: 121, 221, 321, ...).
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "console/console.hpp"
#include "databases/descriptor.hpp"
#include "databases/names_database.hpp"
#include "databases/shift_table.hpp"
#include "input/task.hpp"
#include "spectrum/spectrum_calculation.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb::testing {

// Residue types of the fixture table, by index.
inline constexpr std::uint8_t kP = 0;
inline constexpr std::uint8_t kHxa = 1;  // hexopyranose, H2 H3 H4 axial: orientation code 0
inline constexpr std::uint8_t kHxe = 2;  // hexopyranose, only H2 equatorial: code 1
inline constexpr std::uint8_t kPen = 3;  // pentopyranose, only H4 equatorial: code 4
inline constexpr std::uint8_t kTet = 4;  // pyranose of four carbons
inline constexpr std::uint8_t kFur = 5;  // furanose, 5 carbons
inline constexpr std::uint8_t kAld = 6;  // alditol, 3 carbons, open chain at C2
inline constexpr std::uint8_t kNon = 7;  // not a sugar, 2 carbons
inline constexpr std::uint8_t kNlk = 8;  // N-linked, not a sugar, 3 carbons
inline constexpr std::uint8_t kPhl = 9;  // hexopyranose with the phosphate C1 peculiarity

inline tResidueTable FixtureResidues() {
  auto record = [](const char* name, std::uint8_t ring, std::uint8_t carbons,
                   tPositionSet equatorial) {
    tNameRecord r;
    r.Name = name;
    r.RingKind = ring;
    r.CarbonCount = carbons;
    r.EquatorialPositions = equatorial;
    return r;
  };
  tResidueTable table{PhosphateRecord(),
                      record("Hxa", kPyranose, 6, 0),
                      record("Hxe", kPyranose, 6, 1u << 2),
                      record("Pen", kPyranose, 5, 1u << 4),
                      record("Tet", kPyranose, 4, 0),
                      record("Fur", kFuranose, 5, 0),
                      record("Ald", kAlditol, 3, 0),
                      record("Non", kNonSugar, 2, 0),
                      record("Nlk", kNonSugar, 3, 0),
                      record("Phl", kPyranose, 6, 0)};
  table[kHxe].C2ProtonOrientation = kC2ProtonEquatorial;
  table[kAld].C2ProtonOrientation = kC2ProtonOpenChain;
  table[kNlk].NLinked = 1;
  table[kPhl].C1Peculiarity = kC1Phosphate;
  return table;
}

using tShifts = std::array<std::int32_t, kMaxCarbons>;

inline realdata1e Set1(std::uint8_t c1_effect, const tShifts& shifts) {
  return realdata1e{.C1Effect = c1_effect, .Shifts = shifts};
}
inline realdata2e Set2(std::uint16_t c1_effects, const tShifts& shifts) {
  return realdata2e{.C1Effects = c1_effects, .Shifts = shifts};
}

inline tStructureNode Node(std::uint8_t residue, std::uint8_t anomeric, std::uint8_t absolute,
                           std::uint8_t subst1 = 0, std::uint8_t subst2 = 0) {
  return tStructureNode{.Residue = residue,
                        .Anomeric = anomeric,
                        .Absolute = absolute,
                        .Subst1 = subst1,
                        .Subst2 = subst2};
}

struct SpectrumFixture {
  tResidueTable Residues = FixtureResidues();
  tTask Task;
  tTopologyTable Topologies;
  tShiftTable Shifts;
  tStructureModel Model;

  // Composition entries 1..n of these residue types, in /CALC mode; every form of every entry
  // other than a phosphate gets empty grids and its terminal shifts.
  void Compose(const std::vector<std::uint8_t>& types) {
    const auto n = static_cast<std::uint8_t>(types.size());
    Task.ResidueCount = n;
    Task.Residues.assign(n + 1u, tTaskResidue{});
    Task.CalcMode = 1;
    ASSERT_TRUE(BuildTopologyCatalogue(n, Topologies));
    Shifts.Create(n);
    for (std::uint8_t r = 1; r <= n; ++r) {
      Task.Residues[r].NameIndex = types[r - 1u];
      const unsigned carbons = Residues[types[r - 1u]].CarbonCount;
      if (types[r - 1u] == kP) continue;
      for (std::uint8_t form = 0; form < 2; ++form) {
        tShiftEntry& entry = Shifts.Entry(r, form);
        entry.CreateShiftGrids(carbons);
        entry.CreateEffectGrids(carbons);
        realdata1e terminal;
        for (unsigned k = 0; k < carbons; ++k) terminal.Shifts[k] = 100 * (k + 1) + 10 * r + form;
        entry.PutTerminal(terminal);
      }
    }
  }

  void Place(std::uint8_t topology, std::vector<tStructureNode> nodes) {
    Model.WorkingStructure = tStructure{.Topology = topology, .Nodes = std::move(nodes)};
    BuildCarbonOffsets(Model, Task, Residues);
    SizeSpectrumArrays(Model, Task, Residues);
  }

  tShiftEntry& Entry(unsigned residue, unsigned form) { return Shifts.Entry(residue, form); }

  // The descriptor cell of the residue at node `child` as a substituent of the one at `parent`.
  unsigned CellOf(std::uint8_t child, std::uint8_t parent) const {
    const tStructureNode& s = Model.WorkingStructure.Nodes.at(child);
    const tNameRecord& record = Residues.at(Task.Residues.at(s.Residue).NameIndex);
    const unsigned type = record.C1Peculiarity == kC1Phosphate ? 3 : record.RingKind;
    const unsigned absolute =
        s.Absolute == Model.WorkingStructure.Nodes.at(parent).Absolute ? 0 : 1;
    return DescriptorCell(type, s.Anomeric, absolute, record.C2ProtonOrientation,
                          record.C2Substituent, record.C1Peculiarity);
  }

  // The spectrum of the placed structure in carbon order; a failure ends the run (HaltRun).
  void Calculate() { CalculateWorkingStructure(Model, {Task, Residues, Topologies, Shifts}); }
};

}  // namespace glycomb::testing
