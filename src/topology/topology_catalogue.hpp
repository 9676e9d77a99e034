// The catalogue of branching topologies for repeating units of one to nine residues. The index of
// a topology in the table is the topology index that every structure carries.
#pragma once

#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "topology/structure.hpp"

namespace glycomb {

// The most residues of a repeating unit, in a task, a structure and the catalogue.
inline constexpr std::uint8_t kMaxResidues = 9;

// Marks a missing child.
inline constexpr std::uint8_t kNoChild = 255;

// Shape classes: no node inside brackets, one or two, three or more.
inline constexpr std::uint8_t kShapeLinear = 0;
inline constexpr std::uint8_t kShapeWidespread = 1;
inline constexpr std::uint8_t kShapeRare = 2;

// The attachment relations of one node.
struct tTopologyNode {
  std::uint8_t Parent = 0;              // the node this node's residue is attached to
  std::uint8_t FirstChild = kNoChild;   // the node written before it in the same chain
  std::uint8_t SecondChild = kNoChild;  // the last node of the side chain it carries
  std::uint8_t ChildCount = 0;          // 0 when FirstChild is kNoChild, 1 when SecondChild is
};

using tNodeSet = std::bitset<256>;

struct tTopology {
  std::string Template;  // every node token written as "x" followed by its node number
  std::uint8_t Shape = kShapeLinear;
  std::uint8_t NonStartCount = 0;    // n - NonStartCount start nodes
  std::vector<tTopologyNode> Nodes;  // indexed by node number
  tNodeSet SymmetricNodes;           // nodes marked as carrying two identical subtrees
  tNodeSet StartNodes;  // one node of each class of nodes that symmetries map onto each other
  // The nodes in the order the written form lists their residues (the template's tokens), and
  // those of the main chain (outside every bracket).
  std::vector<std::uint8_t> WrittenOrder;
  tNodeSet MainChain;
};

using tTopologyTable = std::vector<tTopology>;

// The position of its carrier at which `node` of `structure`, a structure of `topology`, is
// attached.
inline std::uint8_t AttachmentPosition(const tStructure& structure, const tTopology& topology,
                                       std::size_t node) {
  const tTopologyNode& carrier = topology.Nodes[topology.Nodes[node].Parent];
  const tStructureNode& entry = structure.Nodes[topology.Nodes[node].Parent];
  return carrier.FirstChild == node ? entry.Subst1 : entry.Subst2;
}

// Replaces `table` by the topologies of `n` residues in catalogue order. On failure the message
// has been printed, `table` is empty and the result is false. n outside 1..9 fails the range check.
bool BuildTopologyCatalogue(std::uint8_t n, tTopologyTable& table);

// (FirstChild, SecondChild) of `node` in topology `topology`; either outside the table fails the
// range check.
std::pair<std::uint8_t, std::uint8_t> TopologyChildren(const tTopologyTable& table,
                                                       std::uint8_t topology, std::uint8_t node);

// The name of a shape class in the report ("linear", "widespread branched", "rarely-occurring
// branched"), and the heading of its section in the result file ("Linear:", ...).
std::string_view ShapeClassName(std::uint8_t shape);
std::string_view ShapeClassHeading(std::uint8_t shape);

// The template reduced to its "[", "]" and "x" characters, in order: "-[x2]=x0-x1-" gives "[x]xx".
// No two templates of one residue count have the same shape.
std::string TopologyShape(std::string_view template_text);

}  // namespace glycomb
