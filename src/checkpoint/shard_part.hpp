// The part of a shard: what shard K of N of a search hands on to the merge of all shards, written
// as TASK.KOFN.PRT beside the task file once the shard has searched all its passes. The format is
// a sealed text (docs/search.md, "Shards"), so that a torn or altered part is never merged.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "search/passes.hpp"
#include "search/search.hpp"

namespace glycomb {

struct tPart {
  std::string Fingerprint;    // of the task file, the reference data and the program
  tShard Shard;
  std::size_t PassCount = 0;  // of the whole search
  tPassRange Passes;          // the shard's
  std::int32_t Sequences = 0; // that passed the checks in the shard's passes
  tShardRecords Handed;
};

// The shard that GLYCOMB_SHARD asks for: "K/N" with 1 <= K <= N <= kMaxShards, digits only.
std::optional<tShard> ParseShard(const std::string& text);

// The part as the file holds it.
std::string PartText(const tPart& part);
// The part written in `text`, or nothing when `text` is not a complete, intact part of structures
// of `node_count` nodes.
std::optional<tPart> ParsePart(const std::string& text, std::size_t node_count);

// The name of a shard's part (extension ".KOFN.PRT") or checkpoint (".KOFN.CKP") for the task
// given on the command line as `task_argument`.
std::string ShardFileName(const std::string& task_argument, const tShard& shard,
                          const std::string& extension);

// The files beside the task file named as parts of it, in any letter case, with the shard each
// name says it holds, in no particular order.
struct tPartFile {
  std::string Path;
  tShard Shard;
};
std::vector<tPartFile> FindPartFiles(const std::string& task_argument);

}  // namespace glycomb
