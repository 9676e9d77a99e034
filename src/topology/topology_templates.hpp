// The fixed template lists of the topology catalogue, as written: node tokens still carry their
// symmetry marks o, x, v and y. Internal to the topology subsystem (and its tests).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The templates for `n` residues in catalogue order; n outside 1..9 fails the range check.
std::span<const std::string_view> TopologyTemplates(std::uint8_t n);

}  // namespace glycomb
