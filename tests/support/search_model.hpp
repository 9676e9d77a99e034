// A model of the search, written from the rules of the enumeration and independent of the
// program's own search code; it shares only the data types, the residue table and the topology
// catalogue (which has tests of its own). It knows no deviations, so it predicts the program's
// choice where the deviations cannot matter: when every candidate gets the same deviation, the
// table keeps the first Limit candidates that are not duplicates of kept ones, in generation
// order, and every candidate that is not such a duplicate is scored.
#pragma once

#include <stdexcept>
#include <vector>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb::testing {

struct tModelResult {
  int Sequences = 0;                // sequences that pass the checks (the progress count)
  std::vector<tStructure> Scored;   // in generation order; the first Limit are kept
};

class tSearchModel {
 public:
  tSearchModel(const tTask& task, const tResidueTable& residues)
      : task_(task), residues_(residues), n_(task.ResidueCount) {
    if (!BuildTopologyCatalogue(static_cast<std::uint8_t>(n_), topologies_)) {
      throw std::runtime_error("no topology catalogue");
    }
  }

  const tTopologyTable& Topologies() const { return topologies_; }

  tModelResult Run() {
    result_ = tModelResult{};
    for (topology_ = 0; topology_ < topologies_.size(); ++topology_) {
      const tTopology& t = topologies_[topology_];
      if (Widespread() && t.Shape == kShapeRare) continue;
      for (int start = 0; start < n_; ++start) {
        if (!t.StartNodes.test(start)) continue;
        if (Widespread() && Links(start).ChildCount != 0 && Of(1).RingKind == kNonSugar) continue;
        nodes_.assign(n_, tStructureNode{});
        nodes_[start].Residue = 1;
        start_ = start;
        Place(0);
      }
    }
    return result_;
  }

 private:
  bool Widespread() const { return task_.WideSpread != 0; }
  bool IsPhosphate(int entry) const { return task_.Residues[entry].NameIndex == 0; }
  const tNameRecord& Of(int entry) const { return residues_[task_.Residues[entry].NameIndex]; }
  const tTopologyNode& Links(int node) const { return topologies_[topology_].Nodes[node]; }

  void Place(int node) {
    if (node == n_) {
      if (SequencePasses()) {
        ++result_.Sequences;
        Link(0);
      }
      return;
    }
    if (node == start_) return Place(node + 1);
    for (int k = 2; k <= n_; ++k) {
      bool used = false;
      for (int j = 0; j < node; ++j) used = used || nodes_[j].Residue == k;
      if (used || (Widespread() && Links(node).ChildCount != 0 && Of(k).RingKind == kNonSugar)) {
        continue;
      }
      nodes_[node].Residue = static_cast<std::uint8_t>(k);
      Place(node + 1);
    }
    nodes_[node].Residue = 0;
  }

  bool SequencePasses() const {
    for (int i = 0; i < n_; ++i) {
      const tTopologyNode& links = Links(i);
      // Of two placements that exchange identical subtrees, the one with the higher entry on the
      // second child stands.
      if (topologies_[topology_].SymmetricNodes.test(i) && links.SecondChild > links.FirstChild &&
          nodes_[links.SecondChild].Residue < nodes_[links.FirstChild].Residue) {
        return false;
      }
      // In WIDESPREAD mode an alditol hangs on a phosphate.
      const tNameRecord& residue = Of(nodes_[i].Residue);
      if (Widespread() && residue.RingKind == kAlditol && residue.C1Peculiarity != kC1Phosphate &&
          !IsPhosphate(nodes_[links.Parent].Residue)) {
        return false;
      }
    }
    return true;
  }

  // Whether `position` of the residue at `node` can hold the residue at `child`.
  bool Suits(int position, int node, int child) const {
    const tNameRecord& carrier = Of(nodes_[node].Residue);
    const bool n_linked = Of(nodes_[child].Residue).NLinked != 0;
    return InSet(n_linked ? carrier.NSubstitutable : carrier.OSubstitutable, position);
  }

  bool Allowed(int node, int p1, int p2) const {
    const tTaskResidue& e = task_.Residues[nodes_[node].Residue];
    const int c1 = e.Subst1, c2 = e.Subst2;
    if (c1 == kAnyPosition && c2 == kAnyPosition) return true;
    if ((c1 == p1 && c2 == p2) || (c1 == p2 && c2 == p1)) return true;
    if (c2 == kAnyPosition && (c1 == p1 || c1 == p2)) return true;
    return c1 == kAnyPosition && (c2 == p1 || c2 == p2);
  }

  void Link(int node) {
    if (node == n_) return Configure(0);
    tStructureNode& e = nodes_[node];
    const tTopologyNode& links = Links(node);
    const int carbons = Of(e.Residue).CarbonCount;
    e.Subst1 = e.Subst2 = 0;
    if (links.ChildCount == 0) {
      if (Allowed(node, 0, 0)) Link(node + 1);
      return;
    }
    if (links.ChildCount == 1) {
      for (int p = 2; p <= (IsPhosphate(e.Residue) ? 2 : carbons); ++p) {
        if (!Suits(p, node, links.FirstChild) || !Allowed(node, p, 0)) continue;
        e.Subst1 = static_cast<std::uint8_t>(p);
        Link(node + 1);
      }
      return;
    }
    for (int p1 = 2; p1 <= carbons; ++p1) {
      for (int p2 = 2; p2 <= carbons; ++p2) {
        if (p1 == p2 || !Suits(p1, node, links.FirstChild) || !Suits(p2, node, links.SecondChild) ||
            !Allowed(node, p1, p2)) {
          continue;
        }
        e.Subst1 = static_cast<std::uint8_t>(p1);
        e.Subst2 = static_cast<std::uint8_t>(p2);
        Link(node + 1);
      }
    }
  }

  // Beta before alpha, D before L; a residue without anomeric forms is alpha.
  void Configure(int node) {
    if (node == n_) return Offer();
    const tTaskResidue& entry = task_.Residues[nodes_[node].Residue];
    std::vector<int> anomeric = {entry.Anomeric == kAnomericBeta ? 1 : 0};
    if (entry.Anomeric == kAnomericUnknown && Of(nodes_[node].Residue).RingKind <= kFuranose) {
      anomeric = {1, 0};
    }
    std::vector<int> absolute = {entry.Absolute};
    if (entry.Absolute == kAbsoluteUnknown) absolute = {0, 1};
    for (int a : anomeric) {
      for (int b : absolute) {
        nodes_[node].Anomeric = static_cast<std::uint8_t>(a);
        nodes_[node].Absolute = static_cast<std::uint8_t>(b);
        Configure(node + 1);
      }
    }
  }

  // A candidate equal to a kept one, up to entries of one name, is not scored.
  void Offer() {
    const std::size_t kept = std::min<std::size_t>(task_.Limit, result_.Scored.size());
    for (std::size_t k = 0; k < kept; ++k) {
      const tStructure& s = result_.Scored[k];
      bool same = s.Topology == topology_;
      for (int j = 0; same && j < n_; ++j) {
        const tStructureNode& a = s.Nodes[j];
        const tStructureNode& b = nodes_[j];
        same = task_.Residues[a.Residue].NameIndex == task_.Residues[b.Residue].NameIndex &&
               a.Anomeric == b.Anomeric && a.Absolute == b.Absolute && a.Subst1 == b.Subst1 &&
               a.Subst2 == b.Subst2;
      }
      if (same) return;
    }
    result_.Scored.push_back({static_cast<std::uint8_t>(topology_), nodes_});
  }

  const tTask& task_;
  const tResidueTable& residues_;
  int n_;
  tTopologyTable topologies_;
  std::size_t topology_ = 0;
  int start_ = 0;
  std::vector<tStructureNode> nodes_;
  tModelResult result_;
};

}  // namespace glycomb::testing
