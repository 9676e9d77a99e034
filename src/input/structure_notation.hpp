// The structure notation: the one-line text form of a repeating unit, read from a structure file
// for /CALC and written for every structure the program reports.
#pragma once

#include <string>

#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "topology/structure.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// Reads the structure file named by `argument` (directory part as given, file name upper-cased
// with the extension ".STR") and interprets its first data line with ParseStructureRecord. A
// later line that begins with REPORT (any case) sets task.Report.
// Returns false after a reported failure or when the user aborts opening the file.
bool ReadStructureFile(const std::string& argument, const tResidueTable& residues, tTask& task,
                       tTopologyTable& topologies, tStructure& working);

// Interprets one structure record: sets the composition of `task` (entry j + 1 describes the
// residue of node j), rebuilds `topologies` for the record's residue count and fills `working`
// with the matching topology and its nodes. Every error is reported through FatalError with
// `context` appended, so the function returns only on success.
void ParseStructureRecord(const std::string& record, const std::string& context,
                          const tResidueTable& residues, tTask& task, tTopologyTable& topologies,
                          tStructure& working);

// The written form of `structure` in `text`: its topology's template with every node token
// replaced by the text of the residue at that node; `shape` receives the template's shape. The
// form of a structure without side chains whose residues are sugars or phosphates reads back with
// ParseStructureRecord (alditols and non-sugars are written without their "c").
void StructureToText(const tStructure& structure, const tTopologyTable& topologies,
                     const tTask& task, const tResidueTable& residues, std::string& shape,
                     std::string& text);

}  // namespace glycomb
