// The pruned, threaded search against the literal enumeration: on random tasks over the shipped
// and a small test data set, with every kind of composition entry and option, both write the same
// result file and count the same structures checked, on one thread and on several.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "databases/names_database.hpp"
#include "search/internal/pass_result.hpp"
#include "e2e/test_reference_data.hpp"
#include "support/fixtures.hpp"
#include "support/in_process.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::SearchInProcess;
using testing::tSearchMode;
using testing::TempDir;

// Random tasks: two to four residues (sugars of known or unknown configuration, alditols, the
// N-linked non-sugar, phosphates), sometimes constrained; a spectrum near that of some structure
// (so that the table fills with close candidates and the bounds prune), or random values; and
// any of the options.
class tTaskGenerator {
 public:
  tTaskGenerator(const tResidueTable& residues, bool test_data, unsigned seed)
      : residues_(residues), random_(seed) {
    for (std::size_t i = 1; i < residues.size(); ++i) {
      if (!test_data || residues[i].Name == "Hex" || residues[i].Name == "Gol" ||
          residues[i].Name == "Gan" || residues[i].Name == "Acy") {
        names_.push_back(static_cast<std::uint8_t>(i));
      }
    }
  }

  std::string Task() {
    const std::size_t count = 2 + Pick(Pick(4) == 0 ? 3 : 2);
    std::vector<std::uint8_t> types;  // 0 = phosphate
    for (std::size_t i = 0; i < count; ++i) {
      types.push_back(Pick(6) == 0 ? 0 : names_[Pick(names_.size())]);
    }
    std::string composition;
    std::vector<std::vector<std::int32_t>> lines;
    for (const std::uint8_t type : types) {
      if (!composition.empty()) composition += ' ';
      if (type == 0) {
        composition += "P";
        continue;
      }
      const tNameRecord& r = residues_[type];
      if (Pick(5) == 0) composition += Constraint(r);
      const bool anomeric_forms = r.RingKind < kAlditol;
      composition += !anomeric_forms ? (Pick(4) == 0 ? "?" : "c")
                     : Pick(5) == 0  ? "?"
                                     : (Pick(2) == 0 ? "a" : "b");
      composition += Pick(6) == 0 ? "?" : (Pick(4) == 0 ? "L" : "D");
      composition += r.Name;
      std::vector<std::int32_t> line;
      for (std::size_t k = 0; k < r.CarbonCount; ++k) {
        line.push_back(k == 0 ? 950 + static_cast<std::int32_t>(Pick(160))
                              : 600 + static_cast<std::int32_t>(Pick(250)));
      }
      lines.push_back(line);
    }
    std::shuffle(lines.begin(), lines.end(), random_);
    std::string task = composition + "\n";
    for (const auto& line : lines) {
      for (const std::int32_t shift : line) task += std::to_string(shift) + " ";
      task += "\n";
    }
    if (Pick(4) == 0) task += "WIDESPREAD\n";
    if (Pick(3) == 0) task += "SPINSYSTEMS\n";
    if (Pick(3) == 0) task += "CORRECTION: AUTO\n";
    if (Pick(4) == 0) task += "CORRECTION: " + std::to_string(static_cast<int>(Pick(61)) - 30) + "\n";
    const int limits[] = {1, 2, 3, 5, 8, 20, 99};
    task += "LIMIT: " + std::to_string(limits[Pick(7)]) + "\n";
    return task;
  }

 private:
  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(random_);
  }
  // A prefix that the residue allows: one fixed position and none, one and any, or any and none.
  std::string Constraint(const tNameRecord& r) {
    std::vector<char> positions;
    for (int p = 2; p <= 9; ++p) {
      if (InSet(r.OSubstitutable | r.NSubstitutable, static_cast<std::uint8_t>(p))) {
        positions.push_back(static_cast<char>('0' + p));
      }
    }
    if (positions.empty()) return "xx)";
    const char position = positions[Pick(positions.size())];
    switch (Pick(3)) {
      case 0: return std::string{position, 'x', ')'};
      case 1: return std::string{position, '?', ')'};
      default: return "?x)";
    }
  }

  const tResidueTable& residues_;
  std::mt19937 random_;
  std::vector<std::uint8_t> names_;
};

// The end of what a failed run printed: its message.
std::string Message(const std::string& output) {
  const std::size_t at = output.rfind('\r');
  return at == std::string::npos ? output : output.substr(at + 1);
}

TEST(PrunedSearchTest, SameResultAndCountAsTheLiteralEnumeration) {
  int tasks = 0, completed = 0;
  std::int64_t checked = 0, scored = 0;
  for (const bool test_data : {false, true}) {
    TempDir dir;
    if (test_data) {
      testing::WriteTestReferenceData(dir);
    } else {
      std::filesystem::copy(testing::SourcePath() + "/data", dir.Path(),
                            std::filesystem::copy_options::recursive);
    }
    tResidueTable residues;
    {
      testing::ScopedWorkingDirectory here(dir.Path());
      testing::Captured([&] { ASSERT_TRUE(ReadNamesDatabase(residues)); });
    }
    tTaskGenerator generator(residues, test_data, test_data ? 11 : 5);
    for (int i = 0; i < (test_data ? 120 : 200); ++i) {
      const std::string task = generator.Task();
      dir.Write("TASK.TSK", task);
      const auto literal = SearchInProcess(dir.Path(), "TASK");
      ++tasks;
      for (const unsigned threads : {1u, 3u}) {
        const auto pruned = SearchInProcess(dir.Path(), "TASK", tSearchMode{false, threads});
        ASSERT_EQ(pruned.Completed, literal.Completed) << task << pruned.Output;
        if (!literal.Completed) {
          EXPECT_EQ(Message(pruned.Output), Message(literal.Output)) << task;
          continue;
        }
        EXPECT_EQ(pruned.Result, literal.Result) << task << "threads " << threads;
        EXPECT_EQ(pruned.Checked, literal.Checked) << task << "threads " << threads;
        if (threads == 1) {
          checked += pruned.Checked;
          scored += pruned.Scored;
        }
      }
      if (literal.Completed) ++completed;
    }
  }
  EXPECT_GE(completed, tasks / 2);
  // The bounds must spare a good part of the work, or they are not working.
  EXPECT_LT(scored, checked / 2) << scored << " of " << checked;
}

// A pass counts in 64 bits: the candidates of skipped subtrees beyond 2^31, and the recorded
// ones that are not duplicates of kept entries.
TEST(PrunedSearchTest, MergedCountsBeyondThirtyTwoBits) {
  tBestStructures best;
  best.Create(2, 1, {0, 7});
  tStructure candidate;
  candidate.Nodes.resize(1);
  tPassResult result;
  result.Unrecorded = 3'000'000'000;
  for (const int position : {3, 4, 3}) {  // the third is a duplicate of the first
    result.Topologies.push_back(0);
    result.Nodes.push_back({1, 0, 0, static_cast<std::uint8_t>(position), 0});
    result.Scores.push_back(tScore{.Sum = static_cast<std::uint32_t>(position)});
  }
  EXPECT_EQ(MergePassResult(result, best, candidate), 3'000'000'002);
  EXPECT_EQ(best.BestCount(), 2);
}

}  // namespace
}  // namespace glycomb
