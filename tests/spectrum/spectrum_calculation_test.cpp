#include "spectrum/spectrum_calculation.hpp"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "console/checked.hpp"
#include "spectrum/spectrum_fixture.hpp"
#include "support/fixtures.hpp"

namespace glycomb::testing {
namespace {

using tSpectrum = std::vector<std::int32_t>;

// Topologies used below: two residues, linear (node 0 carries node 1, node 1 carries node 0), and
// two residues branched (node 0 carries itself and node 1; node 1 carries nothing).
constexpr std::uint8_t kLinear = 0;
constexpr std::uint8_t kBranched = 1;

// The spectrum in carbon order of a /CALC calculation.
tSpectrum Spectrum(SpectrumFixture& f) {
  f.Calculate();
  return f.Model.CalculatedSpectrum;
}

// Node 1 (Hxe, beta) as a leaf: 121..621 with the beta code 1 correction of C2, -1.0 ppm.
tSpectrum WithBetaHxeLeaf(tSpectrum node0, std::int32_t leaf_c1) {
  node0.insert(node0.end(), {leaf_c1, 211, 321, 421, 521, 621});
  return node0;
}

TEST(SpectrumCalculationTest, ExactMonoSetAndItsC1EffectOnTheSubstituent) {
  const struct {
    std::uint8_t type;
    std::uint8_t c1_effect;
    std::int32_t substituent_c1;  // 500 + the C1 effect where the substituent takes it
  } cases[] = {
      {kHxe, 30, 530}, {kHxe, 200, 700},  // 20.0 ppm is not wrapped to a negative byte
      {kFur, 30, 530}, {kAld, 30, 530},
      {kNon, 30, 500}, {kPhl, 30, 500},  // not a sugar; bound through a phosphate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(FixtureResidues()[c.type].Name);
    SpectrumFixture f;
    f.Compose({kHxa, c.type});
    f.Place(kLinear, {Node(1, 0, 0, 3), Node(2, 0, 0, 2)});
    f.Entry(1, 0).PutMono(1, f.CellOf(1, 0), Set1(c.c1_effect, {1000, 710, 820, 700, 760, 610}));
    f.Entry(2, 0).PutMono(0, f.CellOf(0, 1), Set1(9, {500, 400, 300, 200, 100, 50}));
    // No ring corrections when a set is found; node 1's C1 effect of 9 goes to node 0's C1.
    tSpectrum expected{1009, 710, 820, 700, 760, 610, c.substituent_c1, 400, 300, 200, 100, 50};
    expected.resize(6 + f.Residues[c.type].CarbonCount);
    EXPECT_EQ(Spectrum(f), expected);
  }
}

// A structure and the shift data put in for it.
struct tSetting {
  std::vector<std::uint8_t> types;
  std::uint8_t topology;
  std::vector<tStructureNode> nodes;
  std::function<void(SpectrumFixture&)> put;

  void Apply(SpectrumFixture& f) const {
    f.Compose(types);
    f.Place(topology, nodes);
    put(f);
  }
};

const auto kNothing = [](SpectrumFixture&) {};

// Structures whose spectra are worked out by hand from the fixture's shifts. Only the beta form
// of a sugar has the phosphate effects that apply to it: +0.4 on C1, +0.8 on C2.
TEST(SpectrumCalculationTest, SpectraWorkedOutByHand) {
  const tShifts kMono{1000, 700, 800, 710, 760, 610};
  const struct {
    const char* what;
    tSetting setting;
    tSpectrum expected;
  } cases[] = {
      // Node 1 seen from node 0: furanose, beta, other absolute, open chain, deoxy, Catt:
      // ((((1 x 2 + 1) x 2 + 1) x 3 + 2) x 3 + 2) x 4 + 1 = 285. Node 0 seen from node 1:
      // pyranose, alpha, other absolute, axial, hydroxy, normal: 52.
      {"the descriptor takes each field from its source",
       {{kHxa, kFur}, kLinear, {Node(1, 0, 0, 3), Node(2, 1, 1, 2)},
        [](SpectrumFixture& f) {
          f.Residues[kFur].C2ProtonOrientation = kC2ProtonOpenChain;
          f.Residues[kFur].C2Substituent = kC2Deoxy;
          f.Residues[kFur].C1Peculiarity = kC1Catt;
          f.Entry(1, 0).PutMono(1, 285, Set1(12, {1000, 700, 800, 710, 760, 610}));
          f.Entry(2, 1).PutMono(0, 52, Set1(3, {500, 400, 300, 200, 100}));
        }},
       {1003, 700, 800, 710, 760, 610, 512, 400, 300, 200, 100}},
      // One residue carrying itself on position 3: terminal 110..610; alpha code 0: C5 +5; the
      // effect on C2..C4; its C1 effect of 20.0 ppm on C1.
      {"no mono set: terminal and effect, the mono set never approximated",
       {{kHxa}, 0, {Node(1, 0, 0, 3)},
        [](SpectrumFixture& f) {
          f.Entry(1, 0).PutMono(1, DescriptorCell(0, 0, 0, kC2ProtonAxial, kC2Amino, 0),
                                Set1(0, {9, 9, 9, 9, 9, 9}));
          f.Entry(1, 0).PutMono(0, f.CellOf(0, 0), Set1(0, {9, 9, 9, 9, 9, 9}));
          f.Entry(1, 0).PutEffect(3, f.CellOf(0, 0), Set1(200, {0, 20, 80, -10, 0, 0}));
        }},
       {310, 230, 390, 400, 515, 610}},
      // Node 1 seen from node 0: pyranose, beta, other absolute, equatorial, hydroxy: 112.
      // Node 0 seen from itself: pyranose, alpha, same absolute, axial, hydroxy: 16.
      {"Subst1 = 4, Subst2 = 3: the pair slot of 3 and 4, the position-3 substituent first",
       {{kHxa, kHxe}, kBranched, {Node(1, 0, 0, 4, 3), Node(2, 1, 1)},
        [](SpectrumFixture& f) {
          f.Entry(1, 0).PutDi(2, 112, 16, Set2(0x0703, {1000, 700, 800, 790, 770, 620}));
          f.Entry(1, 0).PutDi(2, 16, 112, Set2(0x0101, {1, 1, 1, 1, 1, 1}));
        }},
       WithBetaHxeLeaf({1007, 700, 800, 790, 770, 620}, 124)},
      // An N-linked substituent: 120..620, alpha code 0 (C5 +5), -3.0 on C6, +1.0 on C5 only.
      {"N-linked at 6, the last carbon: nothing after it",
       {{kNlk, kHxa}, kLinear, {Node(1, 0, 0, 2), Node(2, 0, 0, 6)},
        [](SpectrumFixture& f) {
          f.Entry(1, 0).PutMono(0, f.CellOf(1, 0), Set1(0, {500, 400, 300}));
          f.Entry(2, 0).PutMono(4, f.CellOf(0, 1), Set1(0, {9, 9, 9, 9, 9, 9}));
        }},
       {500, 400, 300, 120, 220, 320, 420, 535, 590}},
      // 110..610, C5 +5, C2 +40 from its own effect, C4 -30 and C3, C5 +10; the leaf not a sugar.
      {"N-linked second substituent: no pair set",
       {{kHxa, kNlk}, kBranched, {Node(1, 0, 0, 2, 4), Node(2, 0, 0)},
        [](SpectrumFixture& f) {
          f.Entry(1, 0).PutDi(SubstitutionCode(2, 4), f.CellOf(0, 0), f.CellOf(1, 0), Set2(0, {9}));
          f.Entry(1, 0).PutEffect(2, f.CellOf(0, 0), Set1(0, {0, 40}));
        }},
       {110, 250, 320, 380, 525, 610, 120, 220, 320}},
      // The alpha C5 correction of +0.5 has no carbon to go to; node 1's C1 gets only the +4.
      {"ring corrections stay within a four-carbon residue",
       {{kTet, kHxa}, kLinear, {Node(1, 0, 0, 2), Node(2, 0, 0, 3)},
        [](SpectrumFixture& f) {
          f.Entry(1, 0).PutEffect(2, f.CellOf(1, 0), Set1(4, {0, 0, 0, 0}));
          f.Entry(2, 0).PutMono(1, f.CellOf(0, 1), Set1(0, {1000, 700, 800, 710, 760, 610}));
        }},
       {110, 210, 310, 410, 1004, 700, 800, 710, 760, 610}},
      {"phosphate, set found: both phosphate effects stay, the set's C1 effect goes nowhere",
       {{kP, kHxa}, kLinear, {Node(1, 0, 0, 3), Node(2, 1, 0, 3)},
        [&](SpectrumFixture& f) { f.Entry(2, 1).PutMono(1, f.CellOf(0, 1), Set1(50, kMono)); }},
       {1004, 708, 800, 710, 760, 610}},
      {"phosphate, residue processed later: the C2 effect adds to its ring correction",
       {{kP, kHxa}, kLinear, {Node(1, 0, 0, 3), Node(2, 1, 0, 3)},
        [](SpectrumFixture& f) {
          f.Entry(2, 1).PutEffect(3, f.CellOf(0, 1), Set1(50, {0, 0, 40}));
        }},
       {125, 219, 361, 421, 521, 621}},
      {"phosphate, residue processed earlier: the C2 effect adds to its ring correction",
       {{kHxa, kP}, kLinear, {Node(1, 1, 0, 3), Node(2, 0, 0, 2)},
        [](SpectrumFixture& f) {
          f.Entry(1, 1).PutEffect(3, f.CellOf(1, 0), Set1(50, {0, 0, 40}));
        }},
       {115, 209, 351, 411, 511, 611}},
      {"phosphate on a furanose: the C2 effect stays",
       {{kP, kFur}, kLinear, {Node(1, 0, 0, 3), Node(2, 1, 0, 3)},
        [](SpectrumFixture& f) {
          f.Entry(2, 1).PutEffect(3, f.CellOf(0, 1), Set1(50, {0, 0, 40}));
        }},
       {125, 229, 361, 421, 521}},
      {"a phosphate bound to a phosphate corrects nothing",
       {{kP, kP, kHxa}, 0, {Node(1, 0, 0, 2), Node(2, 0, 0, 2), Node(3, 1, 0, 4)},
        [&](SpectrumFixture& f) { f.Entry(3, 1).PutMono(2, f.CellOf(1, 2), Set1(50, kMono)); }},
       {1004, 708, 800, 710, 760, 610}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SpectrumFixture f;
    c.setting.Apply(f);
    for (unsigned r = 1; r <= f.Task.ResidueCount; ++r) {
      const bool sugar = f.Task.Residues[r].NameIndex != kP;
      for (unsigned form = 0; form < 2; ++form) {
        f.Entry(r, form).PhosphateC1Effect = sugar && form == 1 ? 4 : 16;
        f.Entry(r, form).PhosphateC2Effect = sugar && form == 1 ? 8 : 32;
      }
    }
    EXPECT_EQ(Spectrum(f), c.expected);
  }
}

// Every cell of the ring-correction tables, seen on C2 and C5 of a residue without substituents
// (terminal shifts 110..610). The orientation code is 4 x [H4 eq] + 2 x [H3 eq] + [H2 eq].
TEST(SpectrumCalculationTest, RingCorrectionsOfEveryRingFormAndOrientation) {
  struct tRow {
    std::uint8_t ring, anomeric;
    std::array<std::int32_t, 8> c2, c5;  // by orientation code
  };
  const tRow rows[] = {
      {kPyranose, 0, {0, -5, 0, -5, 0, -5, 0, -5}, {5, 5, 5, 5, 5, 5, 5, 5}},
      {kPyranose, 1, {-10, -10, -10, -10, -14, -10, -14, -10}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {kFuranose, 0, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
      {kFuranose, 1, {0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0}},
  };
  for (const tRow& row : rows) {
    for (unsigned code = 0; code < 8; ++code) {
      SCOPED_TRACE(std::to_string(row.ring) + "/" + std::to_string(row.anomeric) + "/" +
                   std::to_string(code));
      SpectrumFixture f;
      f.Residues[kHxa].RingKind = row.ring;
      f.Residues[kHxa].EquatorialPositions = static_cast<tPositionSet>(
          ((code & 1) != 0 ? 1u << 2 : 0) | ((code & 2) != 0 ? 1u << 3 : 0) |
          ((code & 4) != 0 ? 1u << 4 : 0));
      f.Compose({kHxa, kHxa});
      f.Place(kBranched, {Node(1, row.anomeric, 0, 2, 3), Node(2, row.anomeric, 0)});
      f.Entry(1, row.anomeric).PutEffect(2, f.CellOf(0, 0), Set1(0, {}));
      f.Entry(1, row.anomeric).PutEffect(3, f.CellOf(1, 0), Set1(0, {}));
      const tSpectrum spectrum = Spectrum(f);
      // Node 1 carries nothing; node 0, built by the additive scheme, gets the corrections too.
      for (const std::size_t start : {std::size_t{0}, std::size_t{6}}) {
        const std::int32_t terminal = start == 0 ? 10 : 20;
        EXPECT_EQ(spectrum.at(start + 1), 200 + terminal + row.anomeric + row.c2[code]);
        EXPECT_EQ(spectrum.at(start + 4), 500 + terminal + row.anomeric + row.c5[code]);
      }
    }
  }
}

TEST(SpectrumCalculationTest, NearestEffectInLoopOrder) {
  struct tCandidate {
    std::uint8_t group, proton;
    std::int32_t marker;
  };
  const struct {
    const char* what;
    std::uint8_t group, proton;  // of the substituent
    std::vector<tCandidate> present;
    std::int32_t taken;
  } cases[] = {
      {"own cell first", 1, 1, {{0, 0, 10}, {1, 1, 20}}, 20},
      {"tie: group outer", 1, 1, {{1, 0, 30}, {0, 1, 40}}, 40},
      {"inner loop left at 2 >= 2 before the 1", 1, 2, {{0, 0, 50}, {0, 2, 60}}, 50},
      {"later lower count replaces", 1, 0, {{0, 1, 70}, {1, 1, 80}}, 80},
      {"leaving the inner loop goes on with the next group", 2, 2, {{0, 0, 85}, {2, 0, 90}}, 90},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SpectrumFixture f;
    f.Compose({kHxa});
    f.Residues[kHxa].C2Substituent = c.group;
    f.Residues[kHxa].C2ProtonOrientation = c.proton;
    f.Place(0, {Node(1, 0, 0, 3)});
    tShiftEntry& entry = f.Entry(1, 0);
    for (const tCandidate& p : c.present) {
      entry.PutEffect(3, DescriptorCell(0, 0, 0, p.proton, p.group, 0), Set1(0, {0, 0, p.marker}));
    }
    // Type, anomeric, absolute and C1 peculiarity are never relaxed.
    for (unsigned cell : {DescriptorCell(1, 0, 0, c.proton, c.group, 0),
                          DescriptorCell(0, 1, 0, c.proton, c.group, 0),
                          DescriptorCell(0, 0, 1, c.proton, c.group, 0),
                          DescriptorCell(0, 0, 0, c.proton, c.group, 1)}) {
      entry.PutEffect(3, cell, Set1(0, {0, 0, 1000}));
    }
    EXPECT_EQ(Spectrum(f).at(2), 310 + c.taken);
  }
}

TEST(SpectrumCalculationTest, NearestPairSetInLoopOrder) {
  struct tCandidate {
    std::uint8_t group1, group2, proton1, proton2;
    std::int32_t marker;
  };
  const struct {
    const char* what;
    std::uint8_t group1, proton1, group2, proton2;  // of the substituents on positions 3 and 4
    std::vector<tCandidate> present;
    std::int32_t taken;
  } cases[] = {
      {"tie: first group outermost", 1, 1, 1, 1,
       {{1, 0, 1, 1, 11}, {1, 1, 0, 1, 13}, {0, 1, 1, 1, 12}}, 12},
      {"second proton loop left at 2 >= 2 before the 1", 1, 1, 1, 2,
       {{0, 1, 1, 0, 21}, {0, 1, 1, 2, 22}}, 21},
      {"later lower count replaces", 1, 1, 1, 1, {{0, 0, 1, 1, 31}, {1, 1, 1, 0, 32}}, 32},
      {"three mismatches when nothing nearer", 0, 1, 2, 0, {{1, 2, 0, 1, 41}}, 41},
      {"each group compared with its own substituent's", 0, 1, 2, 1,
       {{0, 1, 1, 1, 51}, {2, 0, 1, 1, 52}}, 51},
      {"each proton compared with its own substituent's", 1, 0, 1, 2,
       {{1, 1, 0, 1, 61}, {1, 1, 2, 0, 62}}, 61},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SpectrumFixture f;
    f.Residues[kHxe].C2Substituent = c.group1;
    f.Residues[kHxe].C2ProtonOrientation = c.proton1;
    f.Residues[kHxa].C2Substituent = c.group2;
    f.Residues[kHxa].C2ProtonOrientation = c.proton2;
    f.Compose({kHxa, kHxe});
    f.Place(kBranched, {Node(1, 0, 0, 4, 3), Node(2, 1, 1)});
    tShiftEntry& entry = f.Entry(1, 0);
    for (const tCandidate& p : c.present) {
      entry.PutDi(2, DescriptorCell(0, 1, 1, p.proton1, p.group1, 0),
                  DescriptorCell(0, 0, 0, p.proton2, p.group2, 0), Set2(0, {p.marker}));
    }
    const unsigned own1 = DescriptorCell(0, 1, 1, c.proton1, c.group1, 0);
    const unsigned own2 = DescriptorCell(0, 0, 0, c.proton2, c.group2, 0);
    // Type, anomeric, absolute and C1 peculiarity are never relaxed.
    entry.PutDi(2, DescriptorCell(0, 0, 1, c.proton1, c.group1, 0), own2, Set2(0, {1000}));
    entry.PutDi(2, own1, DescriptorCell(0, 0, 1, c.proton2, c.group2, 0), Set2(0, {1000}));
    entry.PutDi(2, own1, DescriptorCell(1, 0, 0, c.proton2, c.group2, 0), Set2(0, {1000}));
    entry.PutDi(2, DescriptorCell(0, 1, 1, c.proton1, c.group1, 2), own2, Set2(0, {1000}));
    EXPECT_EQ(Spectrum(f).at(0), c.taken);
  }
}

TEST(SpectrumCalculationTest, MissingEffectEndsTheRun) {
  const struct {
    const char* what;
    tSetting setting;
    std::string message;
  } cases[] = {
      {"only cells of other type, anomeric, absolute or C1 kind",
       {{kHxa}, 0, {Node(1, 1, 0, 3)},
        [](SpectrumFixture& f) {
          for (unsigned cell :
               {DescriptorCell(1, 1, 0, 1, 1, 0), DescriptorCell(0, 0, 0, 1, 1, 0),
                DescriptorCell(0, 1, 1, 1, 1, 0), DescriptorCell(0, 1, 0, 1, 1, 1)}) {
            f.Entry(1, 1).PutEffect(3, cell, Set1(0, {}));
          }
        }},
       "Could not find the noaDDbS3 effect for #Hxa or its ancestors"},
      {"furanose of the other absolute configuration",
       {{kHxa, kFur}, kLinear, {Node(1, 0, 0, 2), Node(2, 0, 1, 2)}, kNothing},
       "Could not find the noaDLaF2 effect for #Hxa or its ancestors"},
      {"phosphate",
       {{kHxa, kP}, kLinear, {Node(1, 0, 0, 6), Node(2, 0, 0, 2)}, kNothing},
       "Could not find the nneDDxP6 effect for #Hxa or its ancestors"},
      {"residue bound through a phosphate",
       {{kHxa, kPhl}, kLinear, {Node(1, 0, 0, 2), Node(2, 1, 0, 3)}, kNothing},
       "Could not find the noaDDxP2 effect for #Hxa or its ancestors"},
      {"second of two: the first one's effect does not stand in for it",
       {{kHxa, kHxe}, kBranched, {Node(1, 0, 0, 4, 3), Node(2, 1, 0)},
        [](SpectrumFixture& f) {
          f.Entry(1, 0).PutEffect(3, f.CellOf(1, 0), Set1(0, {}));
          f.Entry(1, 0).PutEffect(4, f.CellOf(1, 0), Set1(0, {}));
          f.Entry(1, 0).PutEffect(3, f.CellOf(0, 0), Set1(0, {}));
        }},
       "Could not find the noaDDaS4 effect for #Hxa or its ancestors"},
      {"both missing: the one on the lower position is looked up first",
       {{kHxa, kHxe}, kBranched, {Node(1, 0, 0, 4, 3), Node(2, 1, 0)}, kNothing},
       "Could not find the noeDDbS3 effect for #Hxa or its ancestors"},
      {"an internal error ends the run the same way",
       {{kHxa, kHxe}, kBranched, {Node(1, 0, 0, 3, 3), Node(2, 1, 0)}, kNothing},
       "Internal error SC2: Two substitution positions should not be the same"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    SpectrumFixture f;
    c.setting.Apply(f);
    ::testing::internal::CaptureStdout();
    EXPECT_THROW(f.Calculate(), ERunHalted);
    EXPECT_EQ(::testing::internal::GetCapturedStdout(), Fatal(c.message));
  }
}

}  // namespace
}  // namespace glycomb::testing
