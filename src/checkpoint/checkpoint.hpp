// Checkpoints of a long search: after a prefix of its passes, the merged table and the counts, so
// that a search stopped in any way (a stop request, a time limit, a crash, SIGKILL) goes on from
// there when started again and ends with the result of the uninterrupted search. The format is a
// text of its own (docs/search.md, "Checkpoints"), ended by a checksum line so that a torn or
// altered file is never taken for a checkpoint.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "search/best_structures.hpp"
#include "search/passes.hpp"
#include "search/search.hpp"

namespace glycomb {

struct tCheckpoint {
  std::string Fingerprint;    // of the task file, the reference data and the program
  std::size_t PassCount = 0;  // of the whole search
  tSearchPoint Point;         // how far the search has come
  std::vector<tResultRecord> Entries;  // the merged table, in table order
  // Of a shard: which one, and what it has handed on after `Point.PassesDone` of its passes.
  std::optional<tShard> Shard;
  tShardRecords Handed;
};

// The entries of `best` in table order, for a checkpoint.
std::vector<tResultRecord> TableEntries(const tBestStructures& best);

// The checkpoint as the file holds it.
std::string CheckpointText(const tCheckpoint& checkpoint);

// The checkpoint written in `text`, or nothing when `text` is not a complete, intact checkpoint
// of structures of `node_count` nodes and a table of at most `limit` entries.
std::optional<tCheckpoint> ParseCheckpoint(const std::string& text, std::size_t node_count,
                                           std::uint8_t limit);

// A fingerprint of what a search's result depends on besides the task's own text: `version`, the
// program's executable and the contents of `files` (each named once; a missing file counts as
// empty).
std::string RunFingerprint(const std::string& version, const std::vector<std::string>& files);

}  // namespace glycomb
