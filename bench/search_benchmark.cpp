// Runs a whole search in-process, without the console driver, and reports its wall time, the
// structures checked and how many candidates were scored (the rest were skipped by the bounds).
//
//   search_benchmark [task] [data directory] [--literal] [--threads N] [--no-bounds]
//
// Defaults: bench/SEARCH5.TSK (five residues, no constraints) on the shipped reference data in
// data/, the pruned search on every core. The data directory must hold NAMES.PS, EFFECTS.PS and
// c13data/; a relative task path is taken from the directory the benchmark is started in.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <iostream>
#include <sstream>
#include <string>

#include "console/console.hpp"
#include "console/formatting.hpp"
#include "databases/effects_database.hpp"
#include "databases/names_database.hpp"
#include "databases/shift_database.hpp"
#include "driver/run.hpp"
#include "input/task_file.hpp"
#include "scoring/spectrum_score.hpp"
#include "search/search.hpp"
#include "support/literal_search.hpp"

int main(int argc, char** argv) {
  using namespace glycomb;
  std::string task_name = std::string(GLYCOMB_SOURCE_DIR) + "/bench/SEARCH5";
  std::string directory = std::string(GLYCOMB_SOURCE_DIR) + "/data";
  bool literal = false, bounds = true;
  unsigned threads = SearchThreads();
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--literal") == 0) {
      literal = true;
    } else if (std::strcmp(argv[i], "--no-bounds") == 0) {
      bounds = false;
    } else if (std::strcmp(argv[i], "--threads") == 0 && i + 1 < argc) {
      threads = static_cast<unsigned>(std::stoul(argv[++i]));
    } else if (positional++ == 0) {
      task_name = argv[i];
    } else {
      directory = argv[i];
    }
  }
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
      !ReadShiftDatabase(run.Residues, run.Task.Residues, run.Shifts) ||
      !ReadEffectsDatabase(run.Residues, run.Task.Residues, run.Shifts)) {
    std::cerr << "loading failed\n";
    return 1;
  }
  std::vector<std::uint8_t> name_of_entry;
  for (const tTaskResidue& entry : run.Task.Residues) name_of_entry.push_back(entry.NameIndex);
  run.BestStructures.Create(run.Task.Limit, run.Task.ResidueCount, name_of_entry,
                            OnePerPolymer(run.Task) ? &run.Topologies : nullptr);
  const tMeasuredSpectrum measured(run.Task);
  const tSearchTables tables{run.Task, run.Residues, run.Topologies, run.Shifts, measured};
  const std::atomic<bool> go{true};
  const tStopToken never(go);

  // The progress lines go nowhere: only the search itself is timed.
  std::ostringstream discarded;
  std::streambuf* console = std::cout.rdbuf(discarded.rdbuf());
  const auto start = std::chrono::steady_clock::now();
  tSearchOptions options;
  options.Threads = literal ? 1 : threads;
  options.Bounds = bounds;
  options.StartTime = Now();
  options.SequenceEstimate = 1 << 30;
  const tSearchCounts counts = literal ? testing::LiteralSearch(tables, run.BestStructures, options, never)
                                       : RunSearch(tables, run.BestStructures, options, never);
  const std::int64_t checked = counts.StructuresChecked;
  const std::int64_t scored = counts.Scored;
  if (literal) threads = 1;
  const auto stop = std::chrono::steady_clock::now();
  std::cout.rdbuf(console);

  const double seconds = std::chrono::duration<double>(stop - start).count();
  run.BestStructures.SortByDeviation();
  std::cout << "task " << task_name << ": " << (literal ? "literal" : "pruned") << ", "
            << threads << " thread(s): " << seconds << " s, " << checked
            << " structures checked (" << FormatCount(checked) << "), " << scored
            << " scored (" << (checked > 0 ? 100.0 * static_cast<double>(checked - scored) /
                                                 static_cast<double>(checked)
                                           : 0.0)
            << "% never scored), "
            << static_cast<double>(checked) / seconds << " structures/s, best deviation "
            << (run.BestStructures.BestCount() > 0 ? run.BestStructures.Entry(0).Deviation : 0)
            << '\n';
  return 0;
}
