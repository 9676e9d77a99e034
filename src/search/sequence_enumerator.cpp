#include "search/sequence_enumerator.hpp"

namespace glycomb {

void tSequenceChoices::Apply(std::size_t variable, std::size_t option, tStructure& structure) const {
  const tChoice& choice = Options[variable][option];
  if (variable < Nodes) {
    tStructureNode& node = structure.Nodes[variable];
    node.Subst1 = choice.First;
    node.Subst2 = choice.Second;
  } else {
    tStructureNode& node = structure.Nodes[variable - Nodes];
    node.Anomeric = choice.First;
    node.Absolute = choice.Second;
  }
}

bool tSequenceChoices::Empty() const {
  for (std::size_t v = 0; v < Variables(); ++v) {
    if (Options[v].empty()) return true;
  }
  return false;
}

void tSequenceChoices::ForEachCandidate(tStructure& structure,
                                        const std::function<void()>& visit) const {
  if (Empty()) return;
  std::array<std::size_t, 2 * kMaxResidues> option{};
  for (;;) {
    for (std::size_t v = 0; v < Variables(); ++v) Apply(v, option[v], structure);
    visit();
    // The next combination: the last variable fastest.
    std::size_t v = Variables();
    while (v > 0 && ++option[v - 1] == Count(v - 1)) option[--v] = 0;
    if (v == 0) return;
  }
}

tSequenceEnumerator::tSequenceEnumerator(const tTask& task, const tResidueTable& residues,
                                         const tTopologyTable& topologies)
    : task_(task), topologies_(topologies), n_(task.ResidueCount) {
  for (std::size_t i = 1; i <= n_; ++i) {
    const std::uint8_t name_index = At(task.Residues, i).NameIndex;
    const tNameRecord& record = At(residues, name_index);
    tEntryFacts& facts = At(entries_, i);
    facts.OSubstitutable = record.OSubstitutable;
    facts.NSubstitutable = record.NSubstitutable;
    facts.CarbonCount = record.CarbonCount;
    facts.IsPhosphate = name_index == 0;
    facts.HighestPosition = facts.IsPhosphate ? 2 : record.CarbonCount;
    facts.RingKind = record.RingKind;
    facts.C1Peculiarity = record.C1Peculiarity;
    facts.NLinked = record.NLinked;
  }
}

// The state of one pass's placement: which composition entry stands at each node so far.
struct tSequenceEnumerator::tPlacement {
  tStructure& Structure;
  const std::function<bool(bool)>& Visit;
  std::uint8_t StartNode = 0;
  // used[0] is entry 1 (the start node's); used[i + 1] the entry placed at node i on this descent.
  std::array<std::uint8_t, kMaxResidues + 1> Used{};
};

bool tSequenceEnumerator::ForEachSequence(const tPass& pass, tStructure& structure,
                                          const std::function<bool(bool)>& visit) const {
  if (structure.Nodes.size() != n_) CheckFailed("range check error: structure of another size");
  const tTopology& topology = At(topologies_, pass.Topology);
  structure.Topology = pass.Topology;
  At(structure.Nodes, pass.StartNode).Residue = 1;
  // In WIDESPREAD mode a non-sugar is never a branch or chain point.
  if (task_.WideSpread != 0 && At(topology.Nodes, pass.StartNode).ChildCount != 0 &&
      Facts(1).RingKind == kNonSugar) {
    return true;
  }
  tPlacement placement{structure, visit, pass.StartNode, {}};
  placement.Used[0] = 1;
  return Place(placement, 0);
}

// Entries are placed node by node in ascending order, the lowest free entry first; the start node
// keeps entry 1.
bool tSequenceEnumerator::Place(tPlacement& placement, std::uint8_t node) const {
  tStructure& structure = placement.Structure;
  if (node == n_) return placement.Visit(SequencePasses(structure));
  const std::uint8_t next = static_cast<std::uint8_t>(node + 1);
  if (node == placement.StartNode) {
    placement.Used[next] = 1;
    return Place(placement, next);
  }
  const bool has_children = topologies_[structure.Topology].Nodes[node].ChildCount != 0;
  for (std::uint8_t k = 1; k <= n_; ++k) {
    bool used = false;
    for (std::size_t j = 0; j <= node; ++j) used = used || placement.Used[j] == k;
    if (used) continue;
    placement.Used[next] = k;
    structure.Nodes[node].Residue = k;
    if (task_.WideSpread != 0 && has_children && entries_[k].RingKind == kNonSugar) continue;
    if (!Place(placement, next)) return false;
  }
  return true;
}

bool tSequenceEnumerator::SequencePasses(const tStructure& structure) const {
  const tTopology& topology = At(topologies_, structure.Topology);
  const std::vector<tStructureNode>& nodes = structure.Nodes;
  for (std::size_t i = 0; i < n_; ++i) {
    const tTopologyNode& links = topology.Nodes[i];
    // Of two sequences that only exchange the identical subtrees of a symmetric node, the one
    // with the higher composition index on the second child passes.
    if (topology.SymmetricNodes.test(i) && links.SecondChild > links.FirstChild &&
        At(nodes, links.SecondChild).Residue < At(nodes, links.FirstChild).Residue) {
      return false;
    }
    // In WIDESPREAD mode an alditol hangs on a phosphate.
    const tEntryFacts& facts = Facts(nodes[i].Residue);
    if (task_.WideSpread != 0 && facts.RingKind == kAlditol &&
        facts.C1Peculiarity != kC1Phosphate && !Facts(At(nodes, links.Parent).Residue).IsPhosphate) {
      return false;
    }
  }
  return true;
}

// Whether the residue of composition entry `entry` can carry the residue at `child_node` at
// `position`: O-linked children need an O-substitutable carbon, N-linked ones an N-substitutable.
bool tSequenceEnumerator::Suits(const tStructure& structure, std::uint8_t position,
                                std::uint8_t entry, std::uint8_t child_node) const {
  const tEntryFacts& residue = Facts(entry);
  const tEntryFacts& child = Facts(At(structure.Nodes, child_node).Residue);
  return InSet(child.NLinked == 0 ? residue.OSubstitutable : residue.NSubstitutable, position);
}

// Whether the substitution positions p1, p2 (0 = none) meet the constraints of `entry`.
bool tSequenceEnumerator::LinkageAllowed(std::uint8_t entry, std::uint8_t p1,
                                         std::uint8_t p2) const {
  const tTaskResidue& residue = At(task_.Residues, entry);
  const std::uint8_t c1 = residue.Subst1;
  const std::uint8_t c2 = residue.Subst2;
  if (c1 == kAnyPosition && c2 == kAnyPosition) return true;
  if ((c1 == p1 && c2 == p2) || (c1 == p2 && c2 == p1)) return true;
  if (c2 == kAnyPosition && (c1 == p1 || c1 == p2)) return true;
  if (c1 == kAnyPosition && (c2 == p1 || c2 == p2)) return true;
  return false;
}

void tSequenceEnumerator::Choices(const tStructure& structure, tSequenceChoices& choices) const {
  choices.Nodes = n_;
  for (std::size_t i = 0; i < n_; ++i) {
    PositionChoices(structure, i, choices.Options[choices.PositionsOf(i)]);
    ConfigurationChoices(structure.Nodes[i].Residue, choices.Options[choices.ConfigurationsOf(i)]);
  }
}

// A residue carries its first child at every position from 2 up, and a second child at every
// other position; positions that do not suit the child or break the entry's constraints are left
// out.
void tSequenceEnumerator::PositionChoices(const tStructure& structure, std::size_t node,
                                          std::vector<tChoice>& options) const {
  const std::uint8_t entry = structure.Nodes[node].Residue;
  const tEntryFacts& facts = Facts(entry);
  const tTopologyNode& links = At(topologies_, structure.Topology).Nodes[node];
  options.clear();
  switch (links.ChildCount) {
    case 0:
      if (LinkageAllowed(entry, 0, 0)) options.push_back({0, 0});
      break;
    case 1:
      for (std::uint8_t p = 2; p <= facts.HighestPosition; ++p) {
        if (Suits(structure, p, entry, links.FirstChild) && LinkageAllowed(entry, p, 0)) {
          options.push_back({p, 0});
        }
      }
      break;
    default:
      for (std::uint8_t p1 = 2; p1 <= facts.CarbonCount; ++p1) {
        if (!Suits(structure, p1, entry, links.FirstChild)) continue;
        for (std::uint8_t p2 = 2; p2 <= facts.CarbonCount; ++p2) {
          if (p2 != p1 && Suits(structure, p2, entry, links.SecondChild) &&
              LinkageAllowed(entry, p1, p2)) {
            options.push_back({p1, p2});
          }
        }
      }
      break;
  }
}

// An open anomeric configuration is tried beta first, then alpha (residues without anomeric forms
// only take 0); an open absolute configuration D first, then L.
void tSequenceEnumerator::ConfigurationChoices(std::uint8_t entry,
                                               std::vector<tChoice>& options) const {
  const tTaskResidue& composition = At(task_.Residues, entry);
  std::array<std::uint8_t, 2> anomeric{};
  std::size_t anomeric_count = 0;
  if (composition.Anomeric == kAnomericBeta) {
    anomeric[anomeric_count++] = 1;
  } else if (composition.Anomeric == kAnomericUnknown && Facts(entry).RingKind < kAlditol) {
    anomeric[anomeric_count++] = 1;
    anomeric[anomeric_count++] = 0;
  } else {
    anomeric[anomeric_count++] = 0;
  }
  options.clear();
  for (std::size_t a = 0; a < anomeric_count; ++a) {
    if (composition.Absolute != kAbsoluteL) options.push_back({anomeric[a], 0});
    if (composition.Absolute != kAbsoluteD) options.push_back({anomeric[a], 1});
  }
}

}  // namespace glycomb
