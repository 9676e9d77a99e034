// The result file of a search: the kept structures, best first, grouped by the shape of their
// topology.
#pragma once

#include <cstddef>
#include <string>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "search/best_structures.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// Sorts `best` by deviation and writes the report to `file_name` (CR LF line ends), asking
// whether to overwrite or append when the file exists. `carbon_count` is the number of carbons of
// the composition. Returns false when the user aborts opening, when a stop request answers the
// overwrite question, or when closing fails (after its message).
bool WriteResultFile(const std::string& file_name, tBestStructures& best,
                     const tTopologyTable& topologies, const tTask& task,
                     const tResidueTable& residues, std::size_t carbon_count);

}  // namespace glycomb
