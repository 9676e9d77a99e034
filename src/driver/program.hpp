// The program entry: start-up, command line and hand-over to the run modes.
#pragma once

#include <string>
#include <vector>

namespace glycomb {

// Runs the program with the command-line arguments that follow the program name. Never returns
// normally: every run ends in WaitKeyAndExit; a fatal error that nothing catches leaves as
// EErrorStop, a failed internal check as ECheckFailed.
[[noreturn]] void RunProgram(const std::vector<std::string>& arguments);

// The usage text, one element per line.
const std::vector<std::string>& UsageLines();

}  // namespace glycomb
