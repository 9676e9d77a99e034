// The result file of a search: the kept structures, best first, grouped by the shape of their
// topology.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "confidence/probability.hpp"
#include "console/stop_token.hpp"
#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "search/best_structures.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// Writes the report of the table `best`, sorted by deviation, to `file_name` (CR LF line ends).
// When the file exists the user chooses to overwrite or append; when that question cannot be
// answered (end of input) the report goes to a new file beside it instead, the first free one of
// "<NAME>-1.RES", "<NAME>-2.RES", ... (kept as it is, the old file is never lost). `carbon_count`
// is the number of carbons of the composition. With spin systems or the automatic offset each
// entry says how it was scored, and with spin systems `best_calculated` (when given: the best
// structure calculated on its own, its spectrum in carbon order) adds the best structure's
// carbon-by-carbon table. With `probabilities` (in table order) each entry line ends with its
// probability, and a line after the entries bounds that of the structures not listed. Returns the name of the file written; nothing when the user aborted, a
// stop request answered the overwrite question, or closing failed (after its message). A report
// that is not written leaves no trace: the old file keeps its contents.
std::optional<std::string> WriteResultFile(const std::string& file_name,
                                           const tBestStructures& best,
                                           const tTopologyTable& topologies, const tTask& task,
                                           const tResidueTable& residues,
                                           std::size_t carbon_count, const tStopToken& stop,
                                           const tStructureModel* best_calculated = nullptr,
                                           const tProbabilities* probabilities = nullptr);

}  // namespace glycomb
