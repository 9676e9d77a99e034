// Turns the program's tables into report records: a structure into its unit, written forms and
// calculated shifts, and the best-structure table of a search into a search report.
#pragma once

#include <cstdint>
#include <vector>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "report/report_model.hpp"
#include "search/best_structures.hpp"
#include "spectrum/structure_model.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The loaded tables a report reads; they must outlive every call that takes them.
struct tReportTables {
  const tTask& Task;
  const tResidueTable& Residues;
  const tTopologyTable& Topologies;
};

// The repeating unit of `structure`, residues in written order; `node_shifts` (by node, or empty
// for a unit without shifts) become the residues' calculated shifts.
tReportUnit DescribeUnit(const tStructure& structure, const tTopologyTable& topologies,
                         const tTask& task, const tResidueTable& residues,
                         std::vector<signal_array> node_shifts = {});

// The report record of the structure calculated in `calculated` (its working structure, carbon
// offsets and spectrum in carbon order): written forms, IUPAC form, unit and calculated shifts.
// Rank and deviation are left for the caller.
tReportStructure DescribeStructure(const tStructureModel& calculated, const tReportTables& tables);

// Marks in `unit` every bond that a LINK line fixed: the residue on the line's first spin system
// attached to the one on its second, at the line's position or, for `?`, at any (a phosphate,
// without a spin system, fixes nothing). `spin_systems` holds each residue's spin system (0 =
// first, -1 for none) in written order; the mark is the index of the line in `links`.
void MarkLinkedBonds(tReportUnit& unit, const std::vector<int>& spin_systems,
                     const std::vector<tLink>& links);

// The search report: the task and the run, and the kept structures of `best` (sorted) in the
// order of the table, structure i from entry i as `calculated`[i] holds it calculated. With the
// automatic offset or spin systems every structure carries how it was scored: its offset, the line
// each residue was matched to, and the measured shift paired with each calculated one.
// `carbon_count` is the number of carbons of the composition, `elapsed_days` the run time of the
// search.
tSearchReport BuildSearchReport(const tReportTables& tables, const tBestStructures& best,
                                const std::vector<tStructureModel>& calculated,
                                std::uint16_t carbon_count, std::int64_t structures_checked,
                                double elapsed_days);

}  // namespace glycomb
