// The result file of a search: the kept structures, best first, grouped by the shape of their
// topology.
#pragma once

#include <cstddef>
#include <string>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "search/best_structures.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The best structure calculated carbon by carbon, for the table a spin-system report ends with:
// `Model` holds it as the working structure with its spectrum in carbon order; `Labels` is the
// composition with the structure's configurations, as /CALC labels residues.
struct tBestCarbons {
  tStructureModel Model;
  tTask Labels;
};

// Sorts `best` by deviation and writes the report to `file_name` (CR LF line ends), asking
// whether to overwrite or append when the file exists. `carbon_count` is the number of carbons of
// the composition. With spin systems or the automatic offset each entry says how it was scored,
// and `best_carbons` (when given) adds the best structure's carbon-by-carbon table. Returns false
// when the user aborts opening, when a stop request answers the overwrite question, or when
// closing fails (after its message).
bool WriteResultFile(const std::string& file_name, tBestStructures& best,
                     const tTopologyTable& topologies, const tTask& task,
                     const tResidueTable& residues, std::size_t carbon_count,
                     const tBestCarbons* best_carbons = nullptr);

}  // namespace glycomb
