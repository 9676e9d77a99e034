// The calculated spectrum of one structure laid out residue by residue and carbon by carbon.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "spectrum/structure_model.hpp"

namespace glycomb {

// Row 0 is the header; row r (1..n) belongs to node r - 1. Each row's cells are printed one after
// the other.
using tAssignmentTable = std::vector<std::vector<std::string>>;

// Builds the table from the working structure and its calculated spectrum, which must still be in
// carbon order (called after CalculateSpectrum in /CALC mode, before sorting).
tAssignmentTable BuildAssignmentTable(const tStructureModel& model, const tTask& task,
                                      const tResidueTable& residues);

}  // namespace glycomb
