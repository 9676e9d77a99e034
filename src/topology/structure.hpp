// A structure: a topology of the catalogue with a residue, its configurations and its substitution
// positions at every node.
#pragma once

#include <cstdint>
#include <vector>

namespace glycomb {

// What is placed at one topology node.
struct tStructureNode {
  std::uint8_t Residue = 0;   // composition entry 1..n
  std::uint8_t Anomeric = 0;  // 0 alpha, 1 beta (0 for residues without anomeric forms)
  std::uint8_t Absolute = 0;  // 0 D, 1 L
  std::uint8_t Subst1 = 0;    // position carrying the residue at the node's first child; 0 none
  std::uint8_t Subst2 = 0;    // position carrying the residue at the node's second child; 0 none

  friend bool operator==(const tStructureNode&, const tStructureNode&) = default;
};

// One candidate structure: its topology index and one node entry per topology node.
struct tStructure {
  std::uint8_t Topology = 0;
  std::vector<tStructureNode> Nodes;
};

}  // namespace glycomb
