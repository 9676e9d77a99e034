#include "checkpoint/checkpoint_file.hpp"

#include <unistd.h>

#include <cstdlib>
#include <iostream>

#include "console/console.hpp"
#include "console/formatting.hpp"
#include "console/text_file.hpp"
#include "databases/shift_database.hpp"
#include "checkpoint/shard_part.hpp"
#include "input/file_names.hpp"

namespace glycomb {
namespace {

constexpr char kCheckpointExtension[] = ".CKP";
constexpr char kTaskExtension[] = ".TSK";
constexpr double kDefaultIntervalSeconds = 10;
// A checkpoint holds a small table and a few counts; a shard's, what it hands on as well.
constexpr std::size_t kMaxCheckpointBytes = std::size_t{1} << 30;

std::chrono::steady_clock::duration Interval() {
  double seconds = kDefaultIntervalSeconds;
  if (const char* text = std::getenv("GLYCOMB_CHECKPOINT_SECONDS")) {
    char* end = nullptr;
    const double value = std::strtod(text, &end);
    if (end != text && *end == '\0' && value >= 0 && value <= 86400) seconds = value;
  }
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(seconds));
}

// The files a search's result depends on besides the program: the task file, NAMES.PS,
// EFFECTS.PS and the shift files of the composition.
std::vector<std::string> InputFiles(const std::string& task_argument, const tTask& task,
                                    const tResidueTable& residues) {
  std::vector<std::string> files = {FindFileNoCase(ForceExtension(task_argument, kTaskExtension)),
                                    FindFileNoCase("NAMES.PS"), FindFileNoCase("EFFECTS.PS")};
  for (std::size_t i = 1; i <= task.ResidueCount; ++i) {
    const tTaskResidue& entry = task.Residues[i];
    const tNameRecord& record = At(residues, entry.NameIndex);
    for (unsigned form = 0; form < 2; ++form) {
      if (ShiftFormSelected(entry, record, form)) {
        files.push_back(FindFileNoCase(ShiftFileName(record, form)));
      }
    }
  }
  return files;
}

}  // namespace

std::string SearchFingerprint(const std::string& task_argument, const tTask& task,
                              const tResidueTable& residues, const std::string& version) {
  return RunFingerprint(version, InputFiles(task_argument, task, residues));
}

tCheckpointFile::tCheckpointFile(const std::string& task_argument, const tTask& task,
                                 const tResidueTable& residues, const tTopologyTable& topologies,
                                 std::size_t pass_count, const std::string& version,
                                 std::optional<tShard> shard, tShardRecords* handed)
    : task_(task),
      topologies_(topologies),
      path_(shard ? ShardFileName(task_argument, *shard, kCheckpointExtension)
                  : OutputFileName(task_argument, kCheckpointExtension)),
      fingerprint_(SearchFingerprint(task_argument, task, residues, version)),
      pass_count_(pass_count),
      shard_(shard),
      handed_(handed),
      interval_(Interval()),
      last_(std::chrono::steady_clock::now()) {}

// Of the same search (the same shard of it), and every entry names a topology of the catalogue,
// the composition's entries and its lines.
bool tCheckpointFile::Fits(const tCheckpoint& checkpoint) const {
  return checkpoint.PassCount == pass_count_ && checkpoint.Shard == shard_ &&
         RecordsFitTask(checkpoint.Entries, task_, topologies_) &&
         RecordsFitTask(checkpoint.Handed.Records, task_, topologies_);
}

bool RecordsFitTask(const std::vector<tResultRecord>& records, const tTask& task,
                    const tTopologyTable& topologies) {
  for (const tResultRecord& record : records) {
    if (record.Structure.Topology >= topologies.size()) return false;
    for (const tStructureNode& node : record.Structure.Nodes) {
      if (node.Residue < 1 || node.Residue > task.ResidueCount) return false;
    }
    for (const std::uint8_t line : record.LineOfNode) {
      if (line > task.SpinLines.size()) return false;
    }
  }
  return true;
}

void tCheckpointFile::Resume(tBestStructures& best, tSearchOptions& options) {
  const std::string found = FindFileNoCase(path_);
  if (!FileExists(found)) return;
  std::string text;
  const auto error = ReadWholeFile(found, text, kMaxCheckpointBytes);
  const auto checkpoint =
      error ? std::nullopt : ParseCheckpoint(text, task_.ResidueCount, task_.Limit);
  if (!checkpoint) {
    foreign_ = true;
    ShowWarning("The checkpoint " + found +
                " cannot be read; it is left as it is and the search starts from the beginning");
    return;
  }
  if (checkpoint->Fingerprint != fingerprint_ || !Fits(*checkpoint)) {
    foreign_ = true;
    ShowWarning("The checkpoint " + found +
                " is of another task, other reference data or another program; it is left as "
                "it is and the search starts from the beginning");
    return;
  }
  for (const tResultRecord& entry : checkpoint->Entries) {
    best.Keep(entry.Structure, {entry.Deviation, entry.Offset, entry.LineOfNode});
  }
  options.Resume = checkpoint->Point;
  if (handed_) *handed_ = checkpoint->Handed;
  const double done = 100.0 * checkpoint->Point.Counts.Sequences /
                      static_cast<double>(options.SequenceEstimate);
  char percent[32];
  std::snprintf(percent, sizeof percent, "%.2f", done);
  std::cout << "Resuming from " << found << ": " << checkpoint->Point.PassesDone << " of "
            << pass_count_ << " passes done (" << percent
            << "% of the estimated sequences); going on with pass "
            << checkpoint->Point.PassesDone + 1 << '\n'
            << std::flush;
}

void tCheckpointFile::Merged(const tSearchPoint& point, const tBestStructures& best) {
  const auto now = std::chrono::steady_clock::now();
  if (foreign_ || now - last_ < interval_) return;
  last_ = now;
  tCheckpoint checkpoint{fingerprint_, pass_count_, point, TableEntries(best), shard_, {}};
  if (handed_) checkpoint.Handed = *handed_;
  const std::string text = CheckpointText(checkpoint);
  if (const auto error = ReplaceFile(path_, text); error && !warned_) {
    warned_ = true;
    ShowWarning("The checkpoint could not be kept: " + WriteErrorText(*error, path_));
  }
}

void tCheckpointFile::Remove() {
  if (!foreign_) ::unlink(FindFileNoCase(path_).c_str());
}

}  // namespace glycomb
