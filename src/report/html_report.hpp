// The report pages: one self-contained HTML document each (inline CSS and SVG, no scripts and no
// references to other files), written as XHTML-compatible markup so that an XML parser reads it
// too.
#pragma once

#include <string>

#include "report/report_model.hpp"

namespace glycomb {

// The page of a search: the task and run, then every kept structure in rank order with its scores,
// drawing, written forms and stick plot; the best one also carbon by carbon.
std::string SearchReportPage(const tSearchReport& report);

// The page of the structure of a /CALC run, read from `structure_file`: drawing, written forms,
// calculated sticks and shifts.
std::string StructureReportPage(const tReportStructure& structure,
                                const std::string& structure_file);

}  // namespace glycomb
