// The search report as JSON for scripts, written with nlohmann/json.
#pragma once

#include <string>

#include "report/report_model.hpp"

namespace glycomb {

// The JSON text of `report`: the task and run, and every kept structure in rank order with its
// rank, deviation, written forms, topology shape and residues (name, IUPAC name, configurations,
// the residue it is attached to and where, calculated shifts and the measured shifts paired with
// them). Shifts are numbers in ppm; the fields of later scores appear only when they are set.
std::string SearchReportJson(const tSearchReport& report);

}  // namespace glycomb
