#include "search/structure_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"

namespace glycomb {
namespace {

constexpr tPositionSet Positions(std::initializer_list<int> positions) {
  tPositionSet set = 0;
  for (int p : positions) set = static_cast<tPositionSet>(set | (1u << p));
  return set;
}

tNameRecord Type(const std::string& name, std::uint8_t ring_kind,
                 tPositionSet o_set = Positions({2, 3}), std::uint8_t carbons = 6) {
  tNameRecord record;
  record.Name = name;
  record.RingKind = ring_kind;
  record.OSubstitutable = o_set;
  record.CarbonCount = carbons;
  return record;
}

// A composition entry with both configurations given, so that every choice of positions gives
// one candidate.
tTaskResidue Fixed(std::uint8_t name_index, std::uint8_t s1 = kAnyPosition,
                   std::uint8_t s2 = kAnyPosition) {
  return {name_index, kAnomericAlpha, kAbsoluteD, s1, s2};
}

// What the task reader makes of "P".
const tTaskResidue kPhosphateEntry{0, kAnomericNone, kAbsoluteL, kAnyPosition, kNoSubstituent};

struct tComposition {
  tResidueTable residues{PhosphateRecord()};
  std::vector<tTaskResidue> entries;  // composition entries 1..n
};

constexpr std::uint8_t kP = 100;     // the phosphate
constexpr std::uint8_t kAldP = 101;  // an alditol whose name ends in P

// One entry per kind, each of a residue type of its own with its own carbon count.
tComposition OwnTypes(const std::vector<std::uint8_t>& kinds) {
  tComposition c;
  for (std::uint8_t kind : kinds) {
    if (kind == kP) {
      c.entries.push_back(kPhosphateEntry);
      continue;
    }
    const auto carbons = static_cast<std::uint8_t>(4 + c.residues.size());
    c.residues.push_back(Type("r" + std::to_string(c.residues.size()),
                              kind == kAldP ? kAlditol : kind, Positions({2, 3}), carbons));
    if (kind == kAldP) c.residues.back().C1Peculiarity = kC1Phosphate;
    c.entries.push_back(Fixed(static_cast<std::uint8_t>(c.residues.size() - 1)));
  }
  return c;
}

// The search with its tables, run as the driver runs it; it scores candidates itself by
// recording them.
class SearchRun : public tCandidateScorer {
 public:
  explicit SearchRun(const tComposition& c, bool widespread = false, std::uint8_t limit = 1)
      : residues(c.residues) {
    const auto n = static_cast<std::uint8_t>(c.entries.size());
    task.ResidueCount = n;
    task.Residues.assign(1, tTaskResidue{});
    task.Residues.insert(task.Residues.end(), c.entries.begin(), c.entries.end());
    task.WideSpread = widespread ? 1 : 0;
    task.Limit = limit;
    EXPECT_TRUE(BuildTopologyCatalogue(n, topologies));
    model.WorkingStructure.Nodes.resize(n);
    std::vector<std::uint8_t> names;
    for (const tTaskResidue& entry : task.Residues) names.push_back(entry.NameIndex);
    best.Create(limit, n, names);
    search.emplace(task, residues, topologies, model, *this, best);
  }
  ~SearchRun() override { RunFlag.store(true); }

  std::uint16_t CalculateSpectrum() override {
    offered.push_back(model.WorkingStructure);
    std::vector<std::uint8_t> offsets{0};
    for (const tStructureNode& node : model.WorkingStructure.Nodes) {
      const std::uint8_t name = task.Residues.at(node.Residue).NameIndex;
      offsets.push_back(static_cast<std::uint8_t>(offsets.back() + residues.at(name).CarbonCount));
    }
    if (offsets != model.CarbonOffsets) ++stale_offsets;
    if (offered.size() == stop_after) RunFlag.store(false);
    return 100;
  }

  // The driver's loop; a negative filter searches every topology or start node.
  void Run(int only_topology = -1, int only_start = -1) {
    std::int32_t starts = 0;
    for (const tTopology& t : topologies) {
      if (task.WideSpread == 0 || t.Shape != kShapeRare) {
        starts += task.ResidueCount - t.NonStartCount;
      }
    }
    estimate = Factorial(static_cast<std::uint8_t>(task.ResidueCount - 1)) * starts;
    search->SetSequenceEstimate(estimate);
    search->SetSearchStartTime(Now());
    testing::internal::CaptureStdout();
    try {
      for (std::size_t t = 0; t < topologies.size(); ++t) {
        model.WorkingStructure.Topology = static_cast<std::uint8_t>(t);
        if (task.WideSpread != 0 && topologies[t].Shape == kShapeRare) continue;
        if (only_topology >= 0 && static_cast<int>(t) != only_topology) continue;
        for (int u = 0; u < task.ResidueCount; ++u) {
          if (!topologies[t].StartNodes.test(u) || (only_start >= 0 && u != only_start)) continue;
          search->SearchFromStartNode(static_cast<std::uint8_t>(u));
        }
      }
    } catch (const ERunHalted&) {
      halted = true;
    } catch (const ECheckFailed& e) {
      ADD_FAILURE() << e.what();
    }
    output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(stale_offsets, 0) << "carbon offsets not rebuilt for a sequence";
  }

  // The sequences of the offered candidates, "topology:residues" in order of generation.
  std::string Sequences() const {
    std::string text, last;
    for (const tStructure& s : offered) {
      std::string item = std::to_string(s.Topology) + ":";
      for (const tStructureNode& node : s.Nodes) item += std::to_string(node.Residue);
      if (item != last) text += (text.empty() ? "" : " ") + item;
      last = item;
    }
    return text;
  }

  // "s1-s2" of `node` in the offered candidates, a repeat in consecutive candidates written once.
  std::string Linkages(std::size_t node) const {
    std::string text, last;
    for (const tStructure& s : offered) {
      const std::string item =
          std::to_string(s.Nodes.at(node).Subst1) + "-" + std::to_string(s.Nodes.at(node).Subst2);
      if (item != last) text += (text.empty() ? "" : " ") + item;
      last = item;
    }
    return text;
  }

  tTask task;
  tResidueTable residues;
  tTopologyTable topologies;
  tStructureModel model;
  tBestStructures best;
  std::optional<tStructureSearch> search;
  std::vector<tStructure> offered;
  std::size_t stop_after = 0;  // clears RunFlag while scoring this candidate (1-based)
  int stale_offsets = 0;
  std::int32_t estimate = 0;
  std::string output;
  bool halted = false;
};

// The sequences the search must hand on, by brute force over the permutations of entries 2..n:
// "topology:residues" strings; `with_candidates` leaves out those whose phosphate would carry
// two substituents.
std::vector<std::string> ExpectedSequences(const SearchRun& run, bool with_candidates) {
  const int n = run.task.ResidueCount;
  const bool widespread = run.task.WideSpread != 0;
  auto type = [&](int entry) -> const tNameRecord& {
    return run.residues.at(run.task.Residues.at(entry).NameIndex);
  };
  std::vector<std::string> result;
  for (std::size_t t = 0; t < run.topologies.size(); ++t) {
    const tTopology& top = run.topologies[t];
    if (widespread && top.Shape == kShapeRare) continue;
    for (int u = 0; u < n; ++u) {
      if (!top.StartNodes.test(u)) continue;
      std::vector<int> rest;
      for (int k = 2; k <= n; ++k) rest.push_back(k);
      do {
        std::vector<int> res(n);
        res[u] = 1;
        for (int node = 0, r = 0; node < n; ++node) {
          if (node != u) res[node] = rest[r++];
        }
        bool pass = true, scored = true;
        for (int i = 0; i < n; ++i) {
          const tTopologyNode& link = top.Nodes[i];
          const tNameRecord& kind = type(res[i]);
          if (widespread && link.ChildCount != 0 && kind.RingKind == kNonSugar) pass = false;
          if (top.SymmetricNodes.test(i) && res[link.SecondChild] < res[link.FirstChild]) {
            pass = false;
          }
          if (widespread && kind.RingKind == kAlditol && kind.C1Peculiarity != kC1Phosphate &&
              run.task.Residues.at(res[link.Parent]).NameIndex != 0) {
            pass = false;
          }
          if (run.task.Residues.at(res[i]).NameIndex == 0 && link.ChildCount == 2) scored = false;
        }
        if (!pass || (with_candidates && !scored)) continue;
        std::string item = std::to_string(t) + ":";
        for (int r : res) item += std::to_string(r);
        result.push_back(item);
      } while (std::next_permutation(rest.begin(), rest.end()));
    }
  }
  return result;
}

std::string Join(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
  return text;
}

TEST(StructureSearchTest, SequenceCountsFollowTheCatalogue) {
  struct Row {
    int n;
    bool widespread;
    std::int32_t sequences, estimate;
  };
  const Row rows[] = {{1, false, 1, 1},  {3, false, 14, 14},    {4, false, 102, 108},
                      {4, true, 66, 66}, {5, false, 984, 1056}, {5, true, 384, 384}};
  for (const Row& row : rows) {
    SearchRun run(OwnTypes(std::vector<std::uint8_t>(row.n, kPyranose)), row.widespread);
    run.Run();
    SCOPED_TRACE(row.n);
    EXPECT_EQ(run.estimate, row.estimate);
    EXPECT_EQ(run.search->SequenceCount, row.sequences);
    EXPECT_EQ(run.Sequences(), Join(ExpectedSequences(run, true)));
    EXPECT_EQ(std::count(run.output.begin(), run.output.end(), '\r'), row.sequences);
  }
}

// Non-sugars, alditols and the phosphate in both modes, against the brute-force enumeration.
TEST(StructureSearchTest, MixedCompositionsMatchBruteForce) {
  const std::vector<tComposition> compositions = {
      OwnTypes({kNonSugar, kAlditol, kP, kPyranose}),
      OwnTypes({kPyranose, kP, kAlditol, kNonSugar, kFuranose}),
      OwnTypes({kAlditol, kNonSugar, kAldP, kPyranose, kP}),
  };
  for (const tComposition& c : compositions) {
    for (bool widespread : {false, true}) {
      SearchRun run(c, widespread);
      run.Run();
      SCOPED_TRACE(testing::Message()
                   << c.entries.size() << " residues, widespread " << widespread);
      EXPECT_EQ(run.search->SequenceCount,
                static_cast<std::int32_t>(ExpectedSequences(run, false).size()));
      EXPECT_EQ(run.Sequences(), Join(ExpectedSequences(run, true)));
    }
  }
}

TEST(StructureSearchTest, SequencesInOrderOfGeneration) {
  struct Row {
    const char* what;
    tComposition composition;
    bool widespread;
    int only_topology;
    const char* sequences;  // of the candidates offered
    std::int32_t count;     // sequences handed on, with or without candidates
  };
  const std::vector<Row> rows = {
      {"one residue", OwnTypes({kPyranose}), false, -1, "0:1", 1},
      {"three residues", OwnTypes({kPyranose, kPyranose, kPyranose}), false, -1,
       "0:123 0:132 1:123 1:132 1:213 1:312 1:231 1:321 2:123 2:132 2:213 2:312 2:231 2:321", 14},
      {"linear three", OwnTypes({kPyranose, kPyranose, kPyranose}), false, 0, "0:123 0:132", 2},
      {"symmetric node", OwnTypes({kPyranose, kPyranose, kPyranose, kPyranose}), false, 5,
       "5:1234 5:1324 5:1423 5:2134 5:3124 5:4123 5:2314 5:2413 5:3214 5:3412 5:4213 5:4312", 12},
      {"non-sugar first", OwnTypes({kNonSugar, kPyranose}), true, -1, "1:21", 1},
      {"non-sugar first, not widespread", OwnTypes({kNonSugar, kPyranose}), false, -1,
       "0:12 1:12 1:21", 3},
      {"non-sugar second", OwnTypes({kPyranose, kNonSugar, kPyranose}), true, -1,
       "1:132 1:312 2:132 2:312", 4},
      // 1:21 passes but puts two substituents on the phosphate
      {"alditol on phosphate", OwnTypes({kAlditol, kP}), true, -1, "0:12", 2},
      {"alditol without phosphate", OwnTypes({kAlditol, kPyranose}), true, -1, "", 0},
      {"alditol ending in P", OwnTypes({kAldP, kPyranose}), true, -1, "0:12 1:12 1:21", 3},
  };
  for (const Row& row : rows) {
    SearchRun run(row.composition, row.widespread);
    run.Run(row.only_topology);
    EXPECT_EQ(run.Sequences(), row.sequences) << row.what;
    EXPECT_EQ(run.search->SequenceCount, row.count) << row.what;
  }
}

TEST(StructureSearchTest, ProgressLineCountsSequencesBeforeTheCurrentOne) {
  SearchRun run(OwnTypes({kPyranose, kPyranose, kPyranose}));
  run.Run();
  const std::string first =
      "Sequence now: 1 (0.00%), time left: 0hr 0min" + std::string(11, ' ') + "\r";
  const std::string second = "Sequence now: 2 (7.14%), time left: ";  // 1 of 14 done
  ASSERT_EQ(run.output.substr(0, first.size()), first);
  EXPECT_EQ(run.output.substr(first.size(), second.size()), second);
}

// The positions chosen at the node holding entry 1, with the constraints of entry 1.
TEST(StructureSearchTest, LinkagePositionsAndConstraints) {
  struct Row {
    int n, topology, start;
    std::uint8_t c1, c2;
    const char* linkages;
  };
  const Row rows[] = {
      // one residue: its own single child
      {1, 0, 0, 255, 255, "2-0 3-0 4-0 6-0"},
      {1, 0, 0, 3, 0, "3-0"},
      {1, 0, 0, 3, 4, ""},
      // node 0 of "-[x1]=x0-" carries two children
      {2, 1, 0, 255, 255, "2-3 2-4 2-6 3-2 3-4 3-6 4-2 4-3 4-6 6-2 6-3 6-4"},
      {2, 1, 0, 3, 255, "2-3 3-2 3-4 3-6 4-3 6-3"},
      {2, 1, 0, 3, 0, ""},
      // node 1 of "-[x1]=x0-" is terminal
      {2, 1, 1, 0, 0, "0-0"},
      {2, 1, 1, 3, 0, ""},
  };
  for (const Row& row : rows) {
    tComposition c;
    c.residues.push_back(Type("hex", kPyranose, Positions({2, 3, 4, 6})));
    c.entries.push_back(Fixed(1, row.c1, row.c2));
    if (row.n == 2) c.entries.push_back(Fixed(1));
    SearchRun run(c);
    run.Run(row.topology, row.start);
    EXPECT_EQ(run.Linkages(row.start), row.linkages)
        << row.n << " residues, start " << row.start << ", constraints " << int{row.c1} << ","
        << int{row.c2};
  }
}

TEST(StructureSearchTest, LinkageAllowedByConstraints) {
  struct Row {
    std::uint8_t c1, c2, p1, p2;
    bool allowed;
  };
  const Row rows[] = {
      {255, 255, 0, 0, true}, {255, 255, 5, 0, true}, {255, 255, 5, 2, true}, {3, 0, 3, 0, true},
      {3, 0, 0, 0, false},    {3, 0, 4, 0, false},    {3, 0, 3, 4, false},    {3, 0, 4, 3, false},
      {0, 3, 3, 0, true},     {3, 255, 3, 0, true},   {3, 255, 3, 4, true},   {3, 255, 6, 3, true},
      {3, 255, 0, 0, false},  {3, 255, 4, 6, false},  {255, 3, 6, 3, true},   {255, 3, 4, 0, false},
      {0, 255, 0, 0, true},   {0, 255, 4, 0, true},   {0, 255, 4, 6, false},  {255, 0, 4, 0, true},
      {255, 0, 4, 6, false},  {0, 0, 0, 0, true},     {0, 0, 3, 0, false},    {3, 4, 3, 4, true},
      {3, 4, 4, 3, true},     {3, 4, 3, 0, false},    {3, 4, 3, 6, false},    {3, 4, 0, 0, false},
  };
  for (const Row& row : rows) {
    tComposition c;
    c.residues.push_back(Type("hex", kPyranose));
    c.entries.push_back(Fixed(1, row.c1, row.c2));
    SearchRun run(c);
    EXPECT_EQ(run.search->LinkageAllowed(1, row.p1, row.p2), row.allowed)
        << int{row.c1} << "," << int{row.c2} << " with " << int{row.p1} << "," << int{row.p2};
  }
}

// Entry 1 on node 0 of "-x0-x1-" carries entry 2: its O- or N-substitutable positions serve.
TEST(StructureSearchTest, LinkKindOfTheChildSelectsThePositionSet) {
  struct Row {
    bool phosphate;
    tPositionSet n_set;
    std::uint8_t child_n_linked;
    const char* linkages;
  };
  const Row rows[] = {
      {false, 0, 0, "2-0 3-0 4-0 6-0"},
      {false, 0, 1, ""},
      {false, Positions({5}), 1, "5-0"},
      {false, Positions({3, 5}), 0, "2-0 3-0 4-0 6-0"},
      {true, 0, 0, "2-0"},
      {true, 0, 1, ""},
  };
  for (const Row& row : rows) {
    tComposition c;
    c.residues.push_back(Type("hex", kPyranose, Positions({2, 3, 4, 6})));
    c.residues.back().NSubstitutable = row.n_set;
    c.residues.push_back(Type("ami", kNonSugar, Positions({2})));
    c.residues.back().NLinked = row.child_n_linked;
    c.entries = {row.phosphate ? kPhosphateEntry : Fixed(1), Fixed(2)};
    SearchRun run(c);
    run.Run(0);
    EXPECT_EQ(run.Linkages(0), row.linkages)
        << "phosphate " << row.phosphate << ", N-linked child " << int{row.child_n_linked};
  }
}

TEST(StructureSearchTest, ConfigurationsByCodeAndRingKind) {
  struct Row {
    std::uint8_t ring, anomeric, absolute;
    const char* configurations;  // anomeric 1 beta / 0 alpha, then D or L
  };
  const Row rows[] = {
      {kPyranose, kAnomericUnknown, kAbsoluteUnknown, "1D 1L 0D 0L"},
      {kFuranose, kAnomericUnknown, kAbsoluteD, "1D 0D"},
      {kAlditol, kAnomericUnknown, kAbsoluteUnknown, "0D 0L"},
      {kNonSugar, kAnomericUnknown, kAbsoluteL, "0L"},
      {kPyranose, kAnomericBeta, kAbsoluteL, "1L"},
      {kPyranose, kAnomericAlpha, kAbsoluteUnknown, "0D 0L"},
      {kPyranose, kAnomericNone, kAbsoluteD, "0D"},
  };
  for (const Row& row : rows) {
    tComposition c;
    c.residues.push_back(Type("res", row.ring, Positions({2})));
    c.entries.push_back({1, row.anomeric, row.absolute, kAnyPosition, kAnyPosition});
    SearchRun run(c);
    run.Run();
    std::string text;
    for (const tStructure& s : run.offered) {
      text += (text.empty() ? "" : " ") + std::to_string(s.Nodes[0].Anomeric) +
              (s.Nodes[0].Absolute == 0 ? "D" : "L");
    }
    EXPECT_EQ(text, row.configurations) << "ring kind " << int{row.ring};
  }
}

// Two open residues and a phosphate on "-x0-x1-x2-": positions outermost, node 0 before node 1,
// the last configuration varying fastest; the phosphate keeps alpha/L and position 2.
TEST(StructureSearchTest, CandidatesNestPositionsThenConfigurationsNodeByNode) {
  tComposition c;
  c.residues.push_back(Type("hex", kPyranose, Positions({2, 3})));
  c.entries = {{1, kAnomericUnknown, kAbsoluteUnknown, kAnyPosition, kAnyPosition},
               {1, kAnomericUnknown, kAbsoluteUnknown, kAnyPosition, kAnyPosition},
               kPhosphateEntry};
  SearchRun run(c, false, 99);
  run.Run(0);
  std::vector<std::vector<int>> expected;
  for (int s0 : {2, 3}) {
    for (int s1 : {2, 3}) {
      for (int a0 : {1, 0}) {
        for (int b0 : {0, 1}) {
          for (int a1 : {1, 0}) {
            for (int b1 : {0, 1}) expected.push_back({s0, s1, a0, b0, a1, b1});
          }
        }
      }
    }
  }
  std::vector<std::vector<int>> actual;
  for (const tStructure& s : run.offered) {
    if (s.Nodes[0].Residue != 1 || s.Nodes[1].Residue != 2) break;  // the first sequence only
    actual.push_back({s.Nodes[0].Subst1, s.Nodes[1].Subst1, s.Nodes[0].Anomeric,
                      s.Nodes[0].Absolute, s.Nodes[1].Anomeric, s.Nodes[1].Absolute});
    EXPECT_EQ(s.Nodes[2].Anomeric, 0);
    EXPECT_EQ(s.Nodes[2].Absolute, 1);
    EXPECT_EQ(s.Nodes[2].Subst1, 2);
  }
  EXPECT_EQ(actual, expected);
}

// Entries 1 and 2 share a name, so placing entry 2 where entry 1 was repeats a structure.
TEST(StructureSearchTest, DuplicatesOfKeptStructuresAreNotScored) {
  tComposition c;
  c.residues.push_back(Type("hex", kPyranose));
  c.entries = {Fixed(1), Fixed(1)};
  // "-x0-x1-": 2 x 2 positions; "-[x1]=x0-" from node 0: 2 pairs, then from node 1 the same 2.
  SearchRun keeps_all(c, false, 20);
  keeps_all.Run();
  EXPECT_EQ(keeps_all.offered.size(), 6u);
  EXPECT_EQ(keeps_all.best.BestCount(), 6);
  // A table of one keeps the first; the repeats of dropped structures are scored again.
  SearchRun keeps_one(c, false, 1);
  keeps_one.Run();
  EXPECT_EQ(keeps_one.offered.size(), 8u);
}

TEST(StructureSearchTest, StopRequestEndsTheRunAfterTheCurrentSequence) {
  SearchRun run(OwnTypes({kPyranose, kPyranose, kPyranose}));
  run.stop_after = 1;
  run.Run();
  EXPECT_TRUE(run.halted);
  EXPECT_EQ(run.Sequences(), "0:123");
  EXPECT_EQ(run.offered.size(), 8u) << "every position choice of the first sequence";
  EXPECT_EQ(run.search->SequenceCount, 1);
}

TEST(StructureSearchTest, StopRequestIsHonouredAfterARejectedSequence) {
  SearchRun run(OwnTypes({kAlditol, kPyranose}), true);
  RunFlag.store(false);
  run.Run();
  EXPECT_TRUE(run.halted);
  EXPECT_TRUE(run.offered.empty());
  EXPECT_EQ(run.output, "");
}

}  // namespace
}  // namespace glycomb
