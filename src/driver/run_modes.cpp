#include "console/console.hpp"
#include "driver/run.hpp"

namespace glycomb {

// The run modes load their task or structure and the remaining databases once those readers
// exist; until then both end after the residue names have been read.
void RunCalculationMode(tRun&, const std::string&) { HaltRun(); }

void RunSearchMode(tRun&, const std::string&) { HaltRun(); }

}  // namespace glycomb
