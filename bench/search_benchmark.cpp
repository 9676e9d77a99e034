// Runs a whole search in-process, without the console driver, and reports how many candidate
// structures it scores per second.
//
//   search_benchmark [task] [data directory]
//
// Defaults: bench/SEARCH5.TSK (five residues, no constraints) on the shipped reference data in
// data/. The data directory must hold NAMES.PS, EFFECTS.PS and c13data/; a relative task path
// is taken from the directory the benchmark is started in.
#include <unistd.h>

#include <chrono>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include "console/console.hpp"
#include "console/formatting.hpp"
#include "databases/effects_database.hpp"
#include "databases/names_database.hpp"
#include "databases/shift_database.hpp"
#include "driver/run.hpp"
#include "input/task_file.hpp"
#include "search/structure_search.hpp"
#include "spectrum/spectrum_calculation.hpp"

int main(int argc, char** argv) {
  using namespace glycomb;
  std::string task_name = argc > 1 ? argv[1] : std::string(GLYCOMB_SOURCE_DIR) + "/bench/SEARCH5";
  const std::string directory = argc > 2 ? argv[2] : std::string(GLYCOMB_SOURCE_DIR) + "/data";
  if (!task_name.empty() && task_name[0] != '/') {
    char here[4096];
    if (getcwd(here, sizeof here) != nullptr) task_name = std::string(here) + "/" + task_name;
  }
  if (chdir(directory.c_str()) != 0) {
    std::cerr << "cannot enter " << directory << '\n';
    return 1;
  }
  tRun run;
  if (!ReadNamesDatabase(run.Residues) || !ReadTaskFile(task_name, run.Residues, run.Task) ||
      !BuildTopologyCatalogue(run.Task.ResidueCount, run.Topologies) ||
      !ReadShiftDatabase(run.Residues, run.Task, run.Shifts) ||
      !ReadEffectsDatabase(run.Residues, run.Task, run.Shifts)) {
    std::cerr << "loading failed\n";
    return 1;
  }
  SizeSpectrumArrays(run.Model, run.Task, run.Residues);
  run.Model.WorkingStructure.Nodes.assign(run.Task.ResidueCount, tStructureNode{});
  std::vector<std::uint8_t> name_of_entry;
  for (const tTaskResidue& entry : run.Task.Residues) name_of_entry.push_back(entry.NameIndex);
  run.BestStructures.Create(run.Task.Limit, run.Task.ResidueCount, name_of_entry);

  tSpectrumCalculator calculator(run.Task, run.Residues, run.Topologies, run.Shifts, run.Model);
  tStructureSearch search(run.Task, run.Residues, run.Topologies, run.Model, calculator,
                          run.BestStructures);
  search.SearchStartTime = Now();
  search.SequenceEstimate = 1 << 30;

  // The progress lines go nowhere: only the search itself is timed.
  std::ostringstream discarded;
  std::streambuf* console = std::cout.rdbuf(discarded.rdbuf());
  const auto start = std::chrono::steady_clock::now();
  search.SearchAllTopologies();
  const auto stop = std::chrono::steady_clock::now();
  std::cout.rdbuf(console);

  const double seconds = std::chrono::duration<double>(stop - start).count();
  const double scored = run.Model.StructuresChecked;
  std::cout << "task " << task_name << ": " << int{run.Task.ResidueCount} << " residues, "
            << search.SequenceCount << " sequences, " << run.Model.StructuresChecked
            << " candidates scored in " << seconds << " s: " << scored / seconds
            << " candidates/s (single thread; machine has "
            << std::thread::hardware_concurrency() << " cores)\n";
  return 0;
}
