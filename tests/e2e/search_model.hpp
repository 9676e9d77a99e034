// A model of the search, written from the rules of the enumeration and independent of the
// program's own search code. It knows no deviations, so it predicts the program's choice where
// the deviations cannot matter: when every candidate gets the same deviation, the program keeps
// the first `Limit` candidates that are not duplicates of kept ones, in generation order; when
// the limit exceeds the number of candidates, it keeps every one that is not a duplicate. Either
// way it scores every candidate that is not such a duplicate. Only the topology catalogue (which
// has tests of its own) is taken from the program.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "topology/topology_catalogue.hpp"

namespace glycomb::testing {

// What the enumeration needs to know of a residue type.
struct tModelResidue {
  std::string Name;
  int Carbons = 0;
  std::vector<int> OPositions;  // O-substitutable positions, ascending
  std::vector<int> NPositions;  // N-substitutable positions, ascending
  bool NLinked = false;
  int RingKind = 0;  // 0 pyranose, 1 furanose, 2 alditol, 3 non-sugar
  int C1Peculiarity = 0;
  bool Phosphate = false;  // the built-in "P"
};

inline const tModelResidue kModelPhosphate = {"P", 0, {2}, {}, false, 0, 3, true};

// One composition entry: anomeric 0 a, 1 b, 2 none, 3 unknown; absolute 0 D, 1 L, 2 unknown;
// constraints 2..9, 0 for none, 255 for any.
struct tModelEntry {
  tModelResidue Residue;
  int Anomeric = 3;
  int Absolute = 2;
  int Subst1 = 255;
  int Subst2 = 255;
};

// Reads a composition line such as "a?Alx 4?)bDAlx P" over the residue types in `known`.
inline std::vector<tModelEntry> ModelComposition(const std::string& line,
                                                 const std::map<std::string, tModelResidue>& known) {
  const std::map<char, int> anomeric = {{'a', 0}, {'b', 1}, {'c', 2}, {'?', 3}};
  const std::map<char, int> absolute = {{'D', 0}, {'L', 1}, {'?', 2}};
  const auto constraint = [](char c) { return c == '?' ? 255 : c == 'x' ? 0 : c - '0'; };
  std::vector<tModelEntry> entries;
  std::size_t start = 0;
  while (start < line.size()) {
    std::size_t end = line.find(' ', start);
    if (end == std::string::npos) end = line.size();
    std::string token = line.substr(start, end - start);
    start = end + 1;
    tModelEntry entry;
    if (token == "P") {
      entries.push_back({kModelPhosphate, 2, 1, 255, 0});
      continue;
    }
    if (token.size() > 3 && token[2] == ')') {
      entry.Subst1 = constraint(token[0]);
      entry.Subst2 = constraint(token[1]);
      token.erase(0, 3);
    }
    entry.Anomeric = anomeric.at(token[0]);
    entry.Absolute = absolute.at(token[1]);
    entry.Residue = known.at(token.substr(2));
    entries.push_back(entry);
  }
  return entries;
}

struct tModelNode {
  int Entry = 0;  // composition entry, 1..n
  int Anomeric = 0;
  int Absolute = 0;
  int Subst1 = 0;
  int Subst2 = 0;
};

struct tModelCandidate {
  std::size_t Topology = 0;
  std::vector<tModelNode> Nodes;
};

struct tModelResult {
  int Sequences = 0;  // sequences that pass the checks (the progress count)
  int Scored = 0;     // candidates that are not duplicates of kept ones
  std::vector<tModelCandidate> Kept;
};

class tSearchModel {
 public:
  tSearchModel(std::vector<tModelEntry> entries, bool widespread, int limit)
      : entries_(std::move(entries)), widespread_(widespread), limit_(limit),
        n_(static_cast<int>(entries_.size())) {
    if (!BuildTopologyCatalogue(static_cast<std::uint8_t>(n_), topologies_)) {
      throw std::runtime_error("no topology catalogue");
    }
  }

  const tTopologyTable& Topologies() const { return topologies_; }

  tModelResult Run() {
    result_ = tModelResult{};
    for (topology_ = 0; topology_ < topologies_.size(); ++topology_) {
      const tTopology& t = topologies_[topology_];
      if (widespread_ && t.Shape == kShapeRare) continue;
      for (int start = 0; start < n_; ++start) {
        if (!t.StartNodes.test(static_cast<std::size_t>(start))) continue;
        if (widespread_ && t.Nodes[start].ChildCount != 0 && Of(1).RingKind == 3) continue;
        nodes_.assign(static_cast<std::size_t>(n_), tModelNode{});
        nodes_[start].Entry = 1;
        start_ = start;
        Place(0);
      }
    }
    return result_;
  }

  // The written form of a kept candidate and the shape of its topology.
  std::string Text(const tModelCandidate& candidate) const {
    const std::string& pattern = topologies_[candidate.Topology].Template;
    std::string text;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
      if (pattern[i] == 'x') {
        text += Token(candidate.Nodes[static_cast<std::size_t>(pattern[i + 1] - '0')]);
        ++i;
      } else {
        text += pattern[i];
      }
    }
    return text;
  }
  std::string Shape(const tModelCandidate& candidate) const {
    std::string shape;
    for (char c : topologies_[candidate.Topology].Template) {
      if (c == '[' || c == ']' || c == 'x') shape += c;
    }
    return shape;
  }

 private:
  const tModelResidue& Of(int entry) const { return entries_[static_cast<std::size_t>(entry - 1)].Residue; }
  const tTopologyNode& Links(int node) const {
    return topologies_[topology_].Nodes[static_cast<std::size_t>(node)];
  }

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
      for (int j = 0; j < node; ++j) used = used || nodes_[j].Entry == k;
      if (used) continue;
      nodes_[node].Entry = k;
      if (widespread_ && Links(node).ChildCount != 0 && Of(k).RingKind == 3) continue;
      Place(node + 1);
    }
    nodes_[node].Entry = 0;
  }

  bool SequencePasses() const {
    const tTopology& t = topologies_[topology_];
    for (int i = 0; i < n_; ++i) {
      const tTopologyNode& links = Links(i);
      if (t.SymmetricNodes.test(static_cast<std::size_t>(i)) && links.SecondChild > links.FirstChild &&
          nodes_[links.SecondChild].Entry < nodes_[links.FirstChild].Entry) {
        return false;
      }
      // In WIDESPREAD mode an alditol hangs on a phosphate.
      const tModelResidue& residue = Of(nodes_[i].Entry);
      if (widespread_ && residue.RingKind == 2 && residue.C1Peculiarity != 3 &&
          !Of(nodes_[links.Parent].Entry).Phosphate) {
        return false;
      }
    }
    return true;
  }

  bool Suits(int position, int node, int child) const {
    const tModelResidue& carrier = Of(nodes_[node].Entry);
    const std::vector<int>& allowed =
        Of(nodes_[child].Entry).NLinked ? carrier.NPositions : carrier.OPositions;
    for (int p : allowed) {
      if (p == position) return true;
    }
    return false;
  }

  bool Allowed(int node, int p1, int p2) const {
    const tModelEntry& e = entries_[static_cast<std::size_t>(nodes_[node].Entry - 1)];
    const int c1 = e.Subst1, c2 = e.Subst2;
    if (c1 == 255 && c2 == 255) return true;
    if ((c1 == p1 && c2 == p2) || (c1 == p2 && c2 == p1)) return true;
    if (c2 == 255 && (c1 == p1 || c1 == p2)) return true;
    return c1 == 255 && (c2 == p1 || c2 == p2);
  }

  void Link(int node) {
    if (node == n_) return Configure(0);
    tModelNode& e = nodes_[node];
    const tTopologyNode& links = Links(node);
    const tModelResidue& residue = Of(e.Entry);
    if (links.ChildCount == 0) {
      e.Subst1 = e.Subst2 = 0;
      if (Allowed(node, 0, 0)) Link(node + 1);
      return;
    }
    if (links.ChildCount == 1) {
      e.Subst2 = 0;
      for (int p = 2; p <= (residue.Phosphate ? 2 : residue.Carbons); ++p) {
        if (!Suits(p, node, links.FirstChild) || !Allowed(node, p, 0)) continue;
        e.Subst1 = p;
        Link(node + 1);
      }
      return;
    }
    for (int p1 = 2; p1 <= residue.Carbons; ++p1) {
      for (int p2 = 2; p2 <= residue.Carbons; ++p2) {
        if (p1 == p2 || !Suits(p1, node, links.FirstChild) || !Suits(p2, node, links.SecondChild) ||
            !Allowed(node, p1, p2)) {
          continue;
        }
        e.Subst1 = p1;
        e.Subst2 = p2;
        Link(node + 1);
      }
    }
  }

  void Configure(int node) {
    if (node == n_) return Offer();
    const tModelEntry& entry = entries_[static_cast<std::size_t>(nodes_[node].Entry - 1)];
    std::vector<int> anomeric = {entry.Anomeric == 1 ? 1 : 0};
    if (entry.Anomeric == 3 && entry.Residue.RingKind < 2) anomeric = {1, 0};
    std::vector<int> absolute = {entry.Absolute};
    if (entry.Absolute == 2) absolute = {0, 1};
    for (int a : anomeric) {
      for (int b : absolute) {
        nodes_[node].Anomeric = a;
        nodes_[node].Absolute = b;
        Configure(node + 1);
      }
    }
  }

  bool Same(const tModelCandidate& kept) const {
    if (kept.Topology != topology_) return false;
    for (int j = 0; j < n_; ++j) {
      const tModelNode& a = kept.Nodes[j];
      const tModelNode& b = nodes_[j];
      if (Of(a.Entry).Name != Of(b.Entry).Name || a.Anomeric != b.Anomeric ||
          a.Absolute != b.Absolute || a.Subst1 != b.Subst1 || a.Subst2 != b.Subst2) {
        return false;
      }
    }
    return true;
  }

  void Offer() {
    for (const tModelCandidate& kept : result_.Kept) {
      if (Same(kept)) return;
    }
    ++result_.Scored;
    if (static_cast<int>(result_.Kept.size()) < limit_) result_.Kept.push_back({topology_, nodes_});
  }

  std::string Token(const tModelNode& node) const {
    const tModelResidue& residue = Of(node.Entry);
    if (residue.Phosphate) return "P-";
    std::string token = std::string(node.Absolute == 0 ? "D" : "L") + residue.Name + "-";
    if (residue.RingKind <= 1) token = (node.Anomeric == 0 ? "a" : "b") + token;
    if (node.Subst1 != 0) token = std::to_string(node.Subst1) + ")" + token;
    if (node.Subst2 != 0) token = std::to_string(node.Subst2) + "]" + token;
    return token;
  }

  std::vector<tModelEntry> entries_;
  bool widespread_;
  int limit_;
  int n_;
  tTopologyTable topologies_;
  std::size_t topology_ = 0;
  int start_ = 0;
  std::vector<tModelNode> nodes_;
  tModelResult result_;
};

// The result file for kept candidates that all have the mean deviation `mean`, CR LF lines.
inline std::string ModelResultFile(const tSearchModel& model, const tModelResult& result,
                                   const std::string& composition, bool widespread,
                                   const std::string& mean) {
  std::string file = "The monomeric composition and constraints are:\r\n" + composition +
                     "\r\n\r\nHere " +
                     (result.Kept.size() == 1 ? std::string("is 1 structure")
                                              : "are " + std::to_string(result.Kept.size()) +
                                                    " structures") +
                     " that match the spectrum the best:\r\n\r\n";
  const char* sections[] = {"Linear:", "Widespread branched:", "Rarely-ocurring branched:"};
  for (int shape = 0; shape < 3; ++shape) {
    file += std::string(sections[shape]) + "\r\n";
    bool any = false;
    for (std::size_t k = 0; k < result.Kept.size(); ++k) {
      const tModelCandidate& candidate = result.Kept[k];
      if (model.Topologies()[candidate.Topology].Shape != shape) continue;
      any = true;
      file += (k < 9 ? " " : "") + std::to_string(k + 1) + ": " + model.Text(candidate) + "\t(" +
              model.Shape(candidate) + ")\t Dev.: " + mean + "\r\n";
    }
    if (!any) file += shape == 2 && widespread ? "skipped\r\n" : "absent\r\n";
  }
  return file;
}

}  // namespace glycomb::testing
