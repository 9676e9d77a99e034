// The checkpoint file of a search, TASK.CKP beside the task file: read when the search starts
// (a checkpoint of the same task, data and program is resumed), replaced safely after a merged
// pass at most once every interval, and removed once the result file is written.
#pragma once

#include <chrono>
#include <optional>
#include <string>

#include "checkpoint/checkpoint.hpp"
#include "databases/names_database.hpp"
#include "input/task.hpp"
#include "search/best_structures.hpp"
#include "search/search.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {

// The fingerprint of the search of the task file given as `task_argument`: of the program, the
// task file, NAMES.PS, EFFECTS.PS and the shift files of the composition.
std::string SearchFingerprint(const std::string& task_argument, const tTask& task,
                              const tResidueTable& residues, const std::string& version);

// Whether every record, read from a file, names a topology of `topologies`, entries of the task's
// composition and its spectrum lines.
bool RecordsFitTask(const std::vector<tResultRecord>& records, const tTask& task,
                    const tTopologyTable& topologies);

class tCheckpointFile {
 public:
  // The checkpoint of the task file given on the command line as `task_argument`, read by the
  // tables given; `pass_count` passes in all. Reads nothing yet; works out the fingerprint. Of a
  // shard (TASK.KOFN.CKP), `handed` collects what it hands on and is kept with the table.
  tCheckpointFile(const std::string& task_argument, const tTask& task,
                  const tResidueTable& residues, const tTopologyTable& topologies,
                  std::size_t pass_count, const std::string& version,
                  std::optional<tShard> shard = std::nullopt, tShardRecords* handed = nullptr);

  // When a checkpoint of this search exists, puts its table into `best` and its point into
  // `options` and says so. A checkpoint that does not match is left as it is, with a warning, and
  // the search keeps no checkpoint of its own.
  void Resume(tBestStructures& best, tSearchOptions& options);
  // After every merged pass: replaces the checkpoint once the search has run an interval and
  // the last one is an interval old (10 s, or GLYCOMB_CHECKPOINT_SECONDS).
  void Merged(const tSearchPoint& point, const tBestStructures& best);
  // Once the result file has been written.
  void Remove();

  const std::string& Path() const { return path_; }
  // Of the task file, the reference data and the program.
  const std::string& Fingerprint() const { return fingerprint_; }

 private:
  bool Fits(const tCheckpoint& checkpoint) const;

  const tTask& task_;
  const tTopologyTable& topologies_;
  std::string path_;
  std::string fingerprint_;
  std::size_t pass_count_ = 0;
  std::optional<tShard> shard_;
  tShardRecords* handed_;
  std::chrono::steady_clock::duration interval_;
  std::chrono::steady_clock::time_point last_;  // of the start, or of the last checkpoint
  bool warned_ = false;   // that a checkpoint could not be written
  bool foreign_ = false;  // a checkpoint of something else is in the way
};

}  // namespace glycomb
