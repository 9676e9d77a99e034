#include "checkpoint/checkpoint.hpp"

#include <cinttypes>
#include <cstdio>
#include <sstream>

#include "console/text_file.hpp"

namespace glycomb {
namespace {

constexpr char kHeader[] = "GLYCOMB CHECKPOINT 1";
// The most bytes of one file the fingerprint reads (an executable or a data file is far smaller).
constexpr std::size_t kMaxFingerprintBytes = std::size_t{1} << 30;

// FNV-1a, 64 bits.
class tHash {
 public:
  void Add(const std::string& bytes) {
    for (const unsigned char c : bytes) {
      value_ ^= c;
      value_ *= 0x100000001b3ULL;
    }
  }
  std::string Hex() const {
    char text[17];
    std::snprintf(text, sizeof text, "%016" PRIx64, value_);
    return text;
  }

 private:
  std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

}  // namespace

std::vector<tResultRecord> TableEntries(const tBestStructures& best) {
  std::vector<tResultRecord> entries;
  for (std::size_t i = 0; i < best.BestCount(); ++i) entries.push_back(best.Entry(i));
  return entries;
}

// One line per fact: "passes N DONE", "counts CHECKED SCORED SEQUENCES", then one "entry" line per
// table entry (topology, sum, offset, the line of each node, then residue, anomeric, absolute,
// positions of each node), and last "check" with the hash of every line before it.
std::string CheckpointText(const tCheckpoint& checkpoint) {
  std::ostringstream text;
  text << kHeader << '\n'
       << "fingerprint " << checkpoint.Fingerprint << '\n'
       << "passes " << checkpoint.PassCount << ' ' << checkpoint.Point.PassesDone << '\n'
       << "counts " << checkpoint.Point.Counts.StructuresChecked << ' '
       << checkpoint.Point.Counts.Scored << ' ' << checkpoint.Point.Counts.Sequences << '\n'
       << "entries " << checkpoint.Entries.size() << '\n';
  for (const tResultRecord& entry : checkpoint.Entries) {
    text << "entry " << unsigned{entry.Structure.Topology} << ' ' << entry.Deviation << ' '
         << entry.Offset;
    for (const std::uint8_t line : entry.LineOfNode) text << ' ' << unsigned{line};
    for (const tStructureNode& node : entry.Structure.Nodes) {
      text << ' ' << unsigned{node.Residue} << ' ' << unsigned{node.Anomeric} << ' '
           << unsigned{node.Absolute} << ' ' << unsigned{node.Subst1} << ' '
           << unsigned{node.Subst2};
    }
    text << '\n';
  }
  tHash hash;
  hash.Add(text.str());
  text << "check " << hash.Hex() << '\n';
  return text.str();
}

std::optional<tCheckpoint> ParseCheckpoint(const std::string& text, std::size_t node_count,
                                           std::uint8_t limit) {
  const std::size_t check = text.rfind("check ");
  if (check == std::string::npos || (check > 0 && text[check - 1] != '\n')) return std::nullopt;
  tHash hash;
  hash.Add(text.substr(0, check));
  if (text.substr(check) != "check " + hash.Hex() + "\n") return std::nullopt;
  std::istringstream in(text.substr(0, check));
  std::string word, header;
  std::getline(in, header);
  if (header != kHeader) return std::nullopt;
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
  // Every number of an entry must fit its field.
  const auto read = [&in](auto& field, unsigned high) {
    long long value = 0;
    if (!(in >> value) || value < 0 || value > high) return false;
    field = static_cast<std::remove_reference_t<decltype(field)>>(value);
    return true;
  };
  for (std::size_t e = 0; e < entries; ++e) {
    tResultRecord entry;
    entry.Structure.Nodes.resize(node_count);
    long long offset = 0;
    if (!(in >> word) || word != "entry" || !read(entry.Structure.Topology, 255) ||
        !(in >> entry.Deviation >> offset) || offset < -1000 || offset > 1000) {
      return std::nullopt;
    }
    entry.Offset = static_cast<std::int32_t>(offset);
    for (std::uint8_t& line : entry.LineOfNode) {
      if (!read(line, kMaxResidues)) return std::nullopt;
    }
    for (tStructureNode& node : entry.Structure.Nodes) {
      if (!read(node.Residue, kMaxResidues) || !read(node.Anomeric, 1) ||
          !read(node.Absolute, 1) || !read(node.Subst1, 9) || !read(node.Subst2, 9)) {
        return std::nullopt;
      }
    }
    checkpoint.Entries.push_back(std::move(entry));
  }
  if (in >> word) return std::nullopt;  // anything after the entries
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
    hash.Add(file + ":" + std::to_string(bytes.size()) + ":");
    hash.Add(bytes);
  }
  return hash.Hex();
}

}  // namespace glycomb
