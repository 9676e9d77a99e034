#include "search/sequence_enumerator.hpp"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "search/best_structures.hpp"
#include "search/passes.hpp"
#include "support/search_model.hpp"

namespace glycomb {
namespace {

tNameRecord Type(const char* name, std::uint8_t ring_kind, std::uint8_t carbons,
                 tPositionSet o_set = 0x0C) {
  return {.Name = name, .RingKind = ring_kind, .OSubstitutable = o_set, .CarbonCount = carbons};
}

// The residue types of the compositions below, each with a carbon count of its own so that stale
// carbon offsets show. Ami is N-linked; Hex can carry it at 5; AldP is an alditol whose name
// ends in P.
tResidueTable Types() {
  tResidueTable types = {PhosphateRecord(),         Type("Pyr", kPyranose, 6),
                         Type("Fur", kFuranose, 5), Type("Ald", kAlditol, 4),
                         Type("Non", kNonSugar, 3), Type("AldP", kAlditol, 7),
                         Type("Hex", kPyranose, 8, 0x5C), Type("Ami", kNonSugar, 2, 0x04)};
  types[5].C1Peculiarity = kC1Phosphate;
  types[6].NSubstitutable = 0x20;
  types[7].NLinked = 1;
  return types;
}

// A composition written as in a task file: "34)bDHex ?x)a?Pyr cLNon P".
std::vector<tTaskResidue> Composition(const tResidueTable& types, const std::string& line) {
  const std::string anomeric = "abc?", absolute = "DL?";
  const auto constraint = [](char c) -> std::uint8_t {
    return c == '?' ? kAnyPosition : c == 'x' ? kNoSubstituent : static_cast<std::uint8_t>(c - '0');
  };
  std::vector<tTaskResidue> entries;
  for (std::size_t start = 0, end; start < line.size(); start = end + 1) {
    end = std::min(line.find(' ', start), line.size());
    std::string token = line.substr(start, end - start);
    if (token == "P") {
      entries.push_back({0, kAnomericNone, kAbsoluteD, kAnyPosition, kNoSubstituent});
      continue;
    }
    tTaskResidue entry;
    if (token[2] == ')') {
      entry.Subst1 = constraint(token[0]);
      entry.Subst2 = constraint(token[1]);
      token.erase(0, 3);
    }
    entry.Anomeric = static_cast<std::uint8_t>(anomeric.find(token[0]));
    entry.Absolute = static_cast<std::uint8_t>(absolute.find(token[1]));
    entry.NameIndex = FindResidueName(types, token.substr(2));
    entries.push_back(entry);
  }
  return entries;
}

// The enumeration of a composition, run as the literal enumeration runs it: every candidate in
// order is offered to a table in which all have the same deviation.
struct Enumeration {
  Enumeration(const std::string& composition, bool widespread, std::uint8_t limit) {
    const std::vector<tTaskResidue> entries = Composition(residues, composition);
    task.ResidueCount = static_cast<std::uint8_t>(entries.size());
    task.Residues.assign(1, tTaskResidue{});
    task.Residues.insert(task.Residues.end(), entries.begin(), entries.end());
    task.WideSpread = widespread ? 1 : 0;
    task.Limit = limit;
    EXPECT_TRUE(BuildTopologyCatalogue(task.ResidueCount, topologies));
    std::vector<std::uint8_t> names;
    for (const tTaskResidue& entry : task.Residues) names.push_back(entry.NameIndex);
    best.Create(limit, task.ResidueCount, names);
    const tSequenceEnumerator enumerator(task, residues, topologies);
    tStructure structure;
    structure.Nodes.resize(task.ResidueCount);
    tSequenceChoices choices;
    for (const tPass& pass : SearchPasses(task, topologies)) {
      enumerator.ForEachSequence(pass, structure, [&](bool passes) {
        if (!passes) return true;
        ++sequences;
        enumerator.Choices(structure, choices);
        choices.ForEachCandidate(structure, [&] {
          if (best.Holds(structure)) return;
          scored.push_back(structure);
          best.Keep(structure, tScore{.Sum = 100});
        });
        return true;
      });
    }
  }

  tResidueTable residues = Types();
  tTask task;
  tTopologyTable topologies;
  tBestStructures best;
  std::vector<tStructure> scored;
  int sequences = 0;
};

// Every candidate scored, in order, and the number of sequences, against the independent model:
// residue kinds and the WIDESPREAD rules, symmetric nodes, position constraints, N-linked
// residues, open configurations, the phosphate, and entries of one name whose repeats of kept
// structures are not scored.
TEST(SequenceEnumeratorTest, CandidatesFollowTheIndependentEnumeration) {
  const struct {
    const char* composition;
    std::uint8_t limit;
  } cases[] = {
      {"aDPyr aDPyr aDPyr aDPyr", 3},
      {"aDPyr aDFur aDPyr ?DPyr bLPyr", 20},
      {"cDNon aDAld P aDPyr", 1},
      {"aDPyr P aDAld cDNon aDFur", 5},
      {"aDAld cDNon aDAldP aDPyr P", 5},
      {"3?)aDHex ?3)aDHex x?)aDHex 34)aDHex", 10},
      {"3x)aDHex ?x)aDHex xx)aDHex 6?)aDHex", 10},
      {"??Pyr ??Fur ??Ald ?LNon", 99},
      {"a?Pyr bLFur cDAld b?Hex", 2},
      {"aDHex cDAmi aDHex", 4},
      {"P cDAmi ?DHex aDPyr", 4},
  };
  for (const auto& c : cases) {
    for (const bool widespread : {false, true}) {
      SCOPED_TRACE(c.composition + std::string(widespread ? " WIDESPREAD" : ""));
      const Enumeration run(c.composition, widespread, c.limit);
      const testing::tModelResult expected = testing::tSearchModel(run.task, run.residues).Run();
      EXPECT_EQ(run.sequences, expected.Sequences);
      ASSERT_EQ(run.scored.size(), expected.Scored.size());
      for (std::size_t i = 0; i < run.scored.size(); ++i) {
        ASSERT_TRUE(run.scored[i].Topology == expected.Scored[i].Topology &&
                    run.scored[i].Nodes == expected.Scored[i].Nodes)
            << "candidate " << i;
      }
    }
  }
}

}  // namespace
}  // namespace glycomb
