#include "checkpoint/checkpoint.hpp"

#include <sstream>

#include "checkpoint/sealed_text.hpp"
#include "console/text_file.hpp"

namespace glycomb {
namespace {

constexpr char kHeader[] = "GLYCOMB CHECKPOINT 1";
// The most bytes of one file the fingerprint reads (an executable or a data file is far smaller).
constexpr std::size_t kMaxFingerprintBytes = std::size_t{1} << 30;

}  // namespace

std::vector<tResultRecord> TableEntries(const tBestStructures& best) {
  std::vector<tResultRecord> entries;
  for (std::size_t i = 0; i < best.BestCount(); ++i) entries.push_back(best.Entry(i));
  return entries;
}

// One line per fact: "passes N DONE", "counts CHECKED SCORED SEQUENCES", then one "entry" line per
// table entry; a shard's checkpoint adds "shard K N", "unrecorded U", "records R" and a line per
// record; last "check" with the hash of every line before it.
std::string CheckpointText(const tCheckpoint& checkpoint) {
  std::ostringstream text;
  text << kHeader << '\n'
       << "fingerprint " << checkpoint.Fingerprint << '\n'
       << "passes " << checkpoint.PassCount << ' ' << checkpoint.Point.PassesDone << '\n'
       << "counts " << checkpoint.Point.Counts.StructuresChecked << ' '
       << checkpoint.Point.Counts.Scored << ' ' << checkpoint.Point.Counts.Sequences << '\n'
       << "entries " << checkpoint.Entries.size() << '\n';
  for (const tResultRecord& entry : checkpoint.Entries) WriteRecordLine(text, entry);
  if (checkpoint.Shard) {
    text << "shard " << checkpoint.Shard->K << ' ' << checkpoint.Shard->N << '\n'
         << "unrecorded " << checkpoint.Handed.Unrecorded << '\n'
         << "records " << checkpoint.Handed.Records.size() << '\n';
    for (const tResultRecord& record : checkpoint.Handed.Records) WriteRecordLine(text, record);
  }
  return Sealed(text.str());
}

std::optional<tCheckpoint> ParseCheckpoint(const std::string& text, std::size_t node_count,
                                           std::uint8_t limit) {
  std::istringstream in;
  if (!OpenSealed(text, kHeader, in)) return std::nullopt;
  std::string word;
  tCheckpoint checkpoint;
  std::size_t entries = 0;
  if (!(in >> word) || word != "fingerprint" || !(in >> checkpoint.Fingerprint)) return std::nullopt;
  if (!(in >> word) || word != "passes" ||
      !(in >> checkpoint.PassCount >> checkpoint.Point.PassesDone)) {
    return std::nullopt;
  }
  tSearchCounts& counts = checkpoint.Point.Counts;
  if (!(in >> word) || word != "counts" ||
      !(in >> counts.StructuresChecked >> counts.Scored >> counts.Sequences)) {
    return std::nullopt;
  }
  if (!(in >> word) || word != "entries" || !(in >> entries) || entries > limit ||
      checkpoint.Point.PassesDone > checkpoint.PassCount) {
    return std::nullopt;
  }
  if (!ReadRecordLines(in, entries, node_count, checkpoint.Entries)) return std::nullopt;
  if (!(in >> word)) return checkpoint;
  tShard shard;
  std::size_t records = 0;
  if (word != "shard" || !(in >> shard.K >> shard.N) || shard.K < 1 || shard.K > shard.N ||
      !(in >> word) || word != "unrecorded" || !(in >> checkpoint.Handed.Unrecorded) ||
      checkpoint.Handed.Unrecorded < 0 || !(in >> word) || word != "records" || !(in >> records)) {
    return std::nullopt;
  }
  checkpoint.Shard = shard;
  if (!ReadRecordLines(in, records, node_count, checkpoint.Handed.Records)) return std::nullopt;
  if (in >> word) return std::nullopt;  // anything after the records
  return checkpoint;
}

std::string RunFingerprint(const std::string& version, const std::vector<std::string>& files) {
  tHash hash;
  hash.Add(version);
  std::string bytes;
  ReadWholeFile("/proc/self/exe", bytes, kMaxFingerprintBytes);
  hash.Add(std::to_string(bytes.size()) + ":");
  hash.Add(bytes);
  for (const std::string& file : files) {
    bytes.clear();
    ReadWholeFile(file, bytes, kMaxFingerprintBytes);
    // The file's own name, not the way to it: a search started as "dir/TASK" and as "TASK" in dir
    // is one search.
    hash.Add(file.substr(file.rfind('/') + 1) + ":" + std::to_string(bytes.size()) + ":");
    hash.Add(bytes);
  }
  return hash.Hex();
}

}  // namespace glycomb
