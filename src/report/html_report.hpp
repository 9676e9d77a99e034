// The report pages: one self-contained HTML document each (inline CSS and SVG, no scripts and no
// references to other files), written as XHTML-compatible markup so that an XML parser reads it
// too.
#pragma once

#include <cstdint>
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

// Differences between a calculated and a measured shift from this size on (tenths of a ppm) are
// highlighted in the carbon table.
inline constexpr std::int32_t kLargeDifference = 15;

}  // namespace glycomb
