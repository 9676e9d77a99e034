#include <iostream>

#include "console/console.hpp"
#include "console/formatting.hpp"
#include "databases/effects_database.hpp"
#include "databases/shift_database.hpp"
#include "driver/run.hpp"
#include "input/structure_notation.hpp"
#include "input/task_file.hpp"
#include "report/report.hpp"
#include "spectrum/assignment_table.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {

std::uint16_t LoadReferenceData(tRun& run) {
  if (!ReadShiftDatabase(run.Residues, run.Task.Residues, run.Shifts)) HaltRun();
  if (!ReadEffectsDatabase(run.Residues, run.Task.Residues, run.Shifts)) HaltRun();
  return SizeSpectrumArrays(run.Model, run.Task, run.Residues);
}

void RunCalculationMode(tRun& run, const std::string& structure_file) {
  if (!ReadStructureFile(structure_file, run.Residues, run.Task, run.Topologies,
                         run.Model.WorkingStructure)) {
    HaltRun();
  }
  LoadReferenceData(run);

  std::string shape, text;
  StructureToText(run.Model.WorkingStructure, run.Topologies, run.Task, run.Residues, shape, text);
  std::cout << "The structure is: " << text << '\n'
            << "Topology: -" << shape << "-\n"
            << '\n';

  CalculateWorkingStructure(run.Model, {run.Task, run.Residues, run.Topologies, run.Shifts});

  std::cout << "The calculated C13 spectrum is:\n";
  const tAssignmentTable table = BuildAssignmentTable(run.Model, run.Task, run.Residues);
  std::cout << '\n';
  for (const auto& row : table) {
    for (const std::string& cell : row) std::cout << cell;
    std::cout << '\n';
  }

  std::cout << "\nSorted spectrum:\n";
  signal_array sorted = run.Model.CalculatedSpectrum;
  SortSpectrum(sorted);
  for (const std::int32_t shift : sorted) {
    const std::string value = FormatTenths(shift);
    std::cout << std::string(value.size() < 4 ? 4 - value.size() : 0, ' ') << value << "  ";
  }
  std::cout << "\n\n" << std::flush;
  if (run.Task.Report != 0) {
    WriteStructureReport(structure_file, run.Model, {run.Task, run.Residues, run.Topologies});
  }
  HaltRun();
}

}  // namespace glycomb
