#include "driver/program.hpp"

#include <iostream>
#include <memory>

#include "console/console.hpp"
#include "console/control_handler.hpp"
#include "driver/run.hpp"

namespace glycomb {
namespace {

constexpr int kDefaultLimit = 20;

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

[[noreturn]] void ShowUsageAndExit() {
  for (const std::string& line : UsageLines()) std::cout << line << '\n';
  std::cout << '\n';
  WaitKeyAndExit();
}

}  // namespace

const std::vector<std::string>& UsageLines() {
  static const std::vector<std::string> kLines = {
      "Usage: GLYCOMB <task file>",
      "The task file specifies the task to solve. Its format is the following:",
      "First non-comment line defines the composition of the polysaccharide",
      "and contains the list of residues names separated with spaces",
      "Then follows the real C-13 NMR spectrum which is the spaces-separated",
      "list of chemical shifts values multiplied by 10. The signals for acetyl-",
      "groups should not be specified; ones for carboxyl groups of uronic acids",
      "should be. Anomeric and absolute configuration may be specified if known.",
      "The file may be appended with line \"Correction: xxx\" where xxx specifies",
      "the value to add to (if with +) or to substract from (if with -) the spectrum.",
      "See EXAMPLE.TSK for details.",
      "If you need to calculate spectrum for the known structure, see CALC.STR.",
      "",
      "The available residues names and their descriptions are stored in NAMES.PS",
      "This file may be appended following the rules in its header.",
      "The list of possible structures and their calculated spectra deviations from",
      "the real spectrum is stored in the file named as the task file but with *.RES",
      "extension. How many structures are suggested depends on the optional line",
      "\"Limit: xx\" in the task file. This defines how many best-matching structures",
      "are selected from all the structures generated (default is " +
          std::to_string(kDefaultLimit) + ")",
  };
  return kLines;
}

void RunProgram(const std::vector<std::string>& arguments) {
  RunFlag.store(true);
  if (const int error = InstallConsoleCtrlHandler(); error != 0) {
    FatalError("Console error, code " + std::to_string(error));
  }
  std::cout << "GLYCOMB v " << kProgramVersion << '\n'
            << "Structure elucidation of regular polysaccharides from their 13C NMR spectra\n"
            << '\n'
            << "Reading task and databases...\n"
            << std::flush;

  if (arguments.empty()) ShowUsageAndExit();
  const bool calc_mode = UpperCase(arguments[0]) == "/CALC";
  const bool merge_mode = UpperCase(arguments[0]) == "/MERGE";
  if (arguments.size() != (calc_mode || merge_mode ? 2u : 1u)) ShowUsageAndExit();

  {
    // The run's tables live in this scope: HaltRun unwinds out of it, which releases them before
    // the final key is awaited.
    auto run = std::make_unique<tRun>();
    run->Task.CalcMode = calc_mode ? 1 : 0;
    try {
      if (!ReadNamesDatabase(run->Residues)) HaltRun();
      if (calc_mode) {
        RunCalculationMode(*run, arguments[1]);
      } else if (merge_mode) {
        RunMergeMode(*run, arguments[1]);
      } else {
        RunSearchMode(*run, arguments[0]);
      }
      HaltRun();
    } catch (const ERunHalted&) {
    }
  }
  WaitKeyAndExit();
}

}  // namespace glycomb
