// The REPORT option: the search report (<TASK>.HTML for people, <TASK>.JSON for scripts) and the
// structure page of /CALC (<STR>.HTML). The file names follow the program's rule for new files: the
// name part upper-cased, extension included, unless a file of that name in another letter case
// exists already.
#pragma once

#include <string>

#include "report/report_builder.hpp"
#include "spectrum/structure_model.hpp"

namespace glycomb {

// Writes the report of a finished search (from BuildSearchReport, with whatever later scores
// added to its structures) beside the result file; `task_argument` is the task file as given on
// the command line. Existing report files are overwritten. Prints one line for every file written;
// a file that cannot be written is asked for with Retry or Abort, and when the user gives it up the
// run goes on without it.
void WriteSearchReport(const std::string& task_argument, tSearchReport report);

// Writes the page of the /CALC structure (calculated in `calculated`) beside its structure file
// and prints where it is.
void WriteStructureReport(const std::string& structure_argument, const tStructureModel& calculated,
                          const tReportTables& tables);

}  // namespace glycomb
