// The pruned search against the literal enumeration where candidates tie at the table's threshold.
// The measured spectrum is the calculated spectrum of one structure of a composition that repeats
// a residue name under different letters (one entry alpha, another of either anomeric form, say).
// Kept structures then come back from sequences that place those entries the other way round,
// which are searched anew while the table already holds them: with the worst kept deviation, they
// lie exactly on the threshold. A bound or comparison that gives way at equality skips such a
// candidate, which the literal enumeration does not count (the table holds it), and the count of
// structures checked differs.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "databases/names_database.hpp"
#include "e2e/test_reference_data.hpp"
#include "input/structure_notation.hpp"
#include "input/task_file.hpp"
#include "support/fixtures.hpp"
#include "support/in_process.hpp"
#include "support/random_tasks.hpp"
#include "support/search_model.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::CalcInProcess;
using testing::SearchInProcess;
using testing::tSearchMode;
using testing::TempDir;

// The written form of a kept structure in the notation /CALC reads: side chains close with "]-".
std::string InputForm(std::string written) {
  for (std::size_t at; (at = written.find("]=")) != std::string::npos;) written[at + 1] = '-';
  return written;
}

// A composition of three residues and the spectrum lines of one of its structures, one line per
// residue with carbons.
struct tTieTask {
  std::string Composition;
  std::vector<std::vector<std::int32_t>> Lines;
};

// Compositions of three residues, two or three of one name. The structure is drawn with every
// residue of that name in the same configuration; the task then leaves the anomeric or absolute
// configuration open on some of them, so that the entries differ but each can stand where another
// stands in that structure.
class tTieTaskGenerator {
 public:
  tTieTaskGenerator(const TempDir& dir, const tResidueTable& residues,
                    std::vector<std::string> names, unsigned seed)
      : dir_(dir), residues_(residues), names_(std::move(names)), random_(seed) {}

  // Draws compositions until one whose structures can all be calculated; false after many
  // failures.
  bool Next(tTieTask& task) {
    for (int attempt = 0; attempt < 50; ++attempt) {
      const std::string repeated = names_[Pick(names_.size())];
      const std::size_t copies = 2 + Pick(2);
      const char anomeric = "ab"[Pick(2)];
      std::vector<std::string> fixed, open;
      for (std::size_t i = 0; i < 3; ++i) {
        const bool copy = i < copies;
        const std::string name = copy ? repeated : names_[Pick(names_.size())];
        const std::string letters = std::string{copy ? anomeric : "ab"[Pick(2)], 'D'};
        fixed.push_back(letters + name);
        // The first copy stays as drawn, every other copy is opened.
        std::string opened = letters;
        if (copy && i > 0) opened[Pick(2)] = '?';
        if (!copy && Pick(3) == 0) opened[0] = '?';
        open.push_back(opened + name);
      }
      std::shuffle(open.begin(), open.end(), random_);
      const auto structures = Structures(fixed);
      if (structures.empty() || Structures(open).empty()) continue;
      const auto calc = CalcInProcess(dir_.Path(), InputForm(structures[Pick(structures.size())]));
      if (!calc.Calculated) continue;
      task.Composition = Joined(open);
      task.Lines.clear();
      for (std::size_t node = 0; node + 1 < calc.CarbonOffsets.size(); ++node) {
        const auto first = calc.Spectrum.begin() + calc.CarbonOffsets[node];
        const auto last = calc.Spectrum.begin() + calc.CarbonOffsets[node + 1];
        if (first != last) task.Lines.emplace_back(first, last);
      }
      std::shuffle(task.Lines.begin(), task.Lines.end(), random_);
      return true;
    }
    return false;
  }

  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }

 private:
  static std::string Joined(const std::vector<std::string>& entries) {
    std::string text;
    for (const std::string& entry : entries) text += (text.empty() ? "" : " ") + entry;
    return text;
  }

  // Some structures of the composition `entries` (none when a search over it fails), from a
  // search on a spectrum of the right size.
  std::vector<std::string> Structures(const std::vector<std::string>& entries) {
    std::string values;
    for (const std::string& entry : entries) {
      const auto record = std::find_if(residues_.begin(), residues_.end(),
                                       [&](const tNameRecord& r) { return r.Name == entry.substr(2); });
      for (std::size_t k = 0; k < record->CarbonCount; ++k) values += std::to_string(600 + 20 * k) + " ";
    }
    dir_.Write("SHAPE.TSK", Joined(entries) + "\n" + values + "\nLIMIT: 20\n");
    const auto search = SearchInProcess(dir_.Path(), "SHAPE", tSearchMode{false, 1});
    return search.Completed ? search.KeptText : std::vector<std::string>{};
  }

  const TempDir& dir_;
  const tResidueTable& residues_;
  std::vector<std::string> names_;
  std::mt19937 random_;
};

std::string TaskText(const tTieTask& tie, bool spin_systems, bool automatic, int shift, int limit) {
  std::string text = tie.Composition + "\n";
  for (const auto& line : tie.Lines) {
    for (const std::int32_t value : line) text += std::to_string(value - shift) + " ";
    text += "\n";
  }
  if (spin_systems) text += "SPINSYSTEMS\n";
  if (automatic) text += "CORRECTION: AUTO\n";
  return text + "LIMIT: " + std::to_string(limit) + "\n";
}

// For every structure of the task's composition (by its written form), the different ways the
// composition's entries give it: the topology and, node by node, the letters of the entry there.
using tEntryPlacements = std::map<std::string, std::set<std::string>>;

tEntryPlacements Placements(const TempDir& dir, const tResidueTable& residues) {
  tTask task;
  {
    testing::ScopedWorkingDirectory here(dir.Path());
    testing::Captured([&] { EXPECT_TRUE(ReadTaskFile("TASK", residues, task)); });
  }
  task.Limit = 0;  // the model lists every candidate then
  testing::tSearchModel model(task, residues);
  tEntryPlacements placements;
  for (const tStructure& candidate : model.Run().Scored) {
    std::string placement{static_cast<char>(candidate.Topology)};
    for (const tStructureNode& node : candidate.Nodes) {
      const tTaskResidue& entry = task.Residues[node.Residue];
      for (const std::uint8_t letter :
           {entry.NameIndex, entry.Anomeric, entry.Absolute, entry.Subst1, entry.Subst2}) {
        placement += static_cast<char>(letter);
      }
    }
    std::string shape, written;
    StructureToText(candidate, model.Topologies(), task, residues, shape, written);
    placements[written].insert(placement);
  }
  return placements;
}

TEST(PrunedSearchTiesTest, SameResultAndCountAsTheLiteralEnumeration) {
  int cases = 0, on_threshold = 0;
  for (const bool test_data : {true, false}) {
    const testing::tDataSetDir data(test_data);
    const TempDir& dir = data.Dir;
    const tResidueTable& residues = data.Residues;
    const std::vector<std::string> names =
        test_data ? std::vector<std::string>{"Hex", "Alx"}
                  : std::vector<std::string>{"Glc", "Gal", "Man", "Rha"};
    tTieTaskGenerator generator(dir, residues, names, test_data ? 3 : 8);
    for (int composition = 0; composition < 4; ++composition) {
      tTieTask tie;
      ASSERT_TRUE(generator.Next(tie));
      dir.Write("TASK.TSK", TaskText(tie, false, false, 0, 1));
      const tEntryPlacements placements = Placements(dir, residues);
      for (const bool spin_systems : {false, true}) {
        for (const bool automatic : {false, true}) {
          // With the automatic offset the spectrum is shifted by up to the whole range.
          const int shift = automatic ? static_cast<int>(generator.Pick(101)) - 50 : 0;
          for (const int limit : {1, 2, 3, 5}) {
            const std::string task = TaskText(tie, spin_systems, automatic, shift, limit);
            dir.Write("TASK.TSK", task);
            const auto literal = SearchInProcess(dir.Path(), "TASK");
            ASSERT_TRUE(literal.Completed) << task << literal.Output;
            ASSERT_EQ(literal.Kept.size(), static_cast<std::size_t>(limit)) << task;
            // A kept structure of the worst deviation that other entries give as well: the
            // search meets it again on the threshold.
            ++cases;
            for (std::size_t k = 0; k < literal.Kept.size(); ++k) {
              if (literal.Kept[k].Deviation == literal.Kept.back().Deviation &&
                  placements.at(literal.KeptText[k]).size() > 1) {
                ++on_threshold;
                break;
              }
            }
            for (const unsigned threads : {1u, 3u}) {
              const auto pruned = SearchInProcess(dir.Path(), "TASK", tSearchMode{false, threads});
              ASSERT_TRUE(pruned.Completed) << task << pruned.Output;
              EXPECT_EQ(pruned.Result, literal.Result) << task << "threads " << threads;
              EXPECT_EQ(pruned.Checked, literal.Checked) << task << "threads " << threads;
            }
          }
        }
      }
    }
  }
  EXPECT_GE(on_threshold, cases / 2) << on_threshold << " of " << cases;
}

}  // namespace
}  // namespace glycomb
