#include "checkpoint/shard_part.hpp"

#include <filesystem>
#include <sstream>
#include <system_error>

#include "checkpoint/sealed_text.hpp"
#include "input/file_names.hpp"

namespace glycomb {
namespace {

constexpr char kHeader[] = "GLYCOMB PART 1";
constexpr char kPartExtension[] = ".PRT";

// A decimal number from 1 to kMaxShards without a sign or leading zeros, read from `text`.
std::optional<unsigned> ShardNumber(const std::string& text) {
  if (text.empty() || text.size() > 4 || text[0] == '0') return std::nullopt;
  unsigned value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<unsigned>(c - '0');
  }
  if (value > kMaxShards) return std::nullopt;
  return value;
}

std::string UpperCase(std::string text) {
  for (char& c : text) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return text;
}

}  // namespace

std::optional<tShard> ParseShard(const std::string& text) {
  const std::size_t slash = text.find('/');
  if (slash == std::string::npos) return std::nullopt;
  const auto k = ShardNumber(text.substr(0, slash));
  const auto n = ShardNumber(text.substr(slash + 1));
  if (!k || !n || *k > *n) return std::nullopt;
  return tShard{*k, *n};
}

// "fingerprint F", "shard K N", "passes TOTAL FIRST END", "sequences S", "unrecorded U",
// "records R" and a line per record, then the check line.
std::string PartText(const tPart& part) {
  std::ostringstream text;
  text << kHeader << '\n'
       << "fingerprint " << part.Fingerprint << '\n'
       << "shard " << part.Shard.K << ' ' << part.Shard.N << '\n'
       << "passes " << part.PassCount << ' ' << part.Passes.First << ' ' << part.Passes.End << '\n'
       << "sequences " << part.Sequences << '\n'
       << "unrecorded " << part.Handed.Unrecorded << '\n'
       << "records " << part.Handed.Records.size() << '\n';
  for (const tResultRecord& record : part.Handed.Records) WriteRecordLine(text, record);
  return Sealed(text.str());
}

std::optional<tPart> ParsePart(const std::string& text, std::size_t node_count) {
  std::istringstream in;
  if (!OpenSealed(text, kHeader, in)) return std::nullopt;
  std::string word;
  tPart part;
  std::size_t records = 0;
  const auto expect = [&](const char* name) { return in >> word && word == name; };
  if (!expect("fingerprint") || !(in >> part.Fingerprint) || !expect("shard") ||
      !(in >> part.Shard.K >> part.Shard.N) || !expect("passes") ||
      !(in >> part.PassCount >> part.Passes.First >> part.Passes.End) || !expect("sequences") ||
      !(in >> part.Sequences) || !expect("unrecorded") || !(in >> part.Handed.Unrecorded) ||
      !expect("records") || !(in >> records)) {
    return std::nullopt;
  }
  if (part.Shard.K < 1 || part.Shard.K > part.Shard.N || part.Shard.N > kMaxShards ||
      part.Passes.First > part.Passes.End || part.Passes.End > part.PassCount ||
      part.Sequences < 0 || part.Handed.Unrecorded < 0) {
    return std::nullopt;
  }
  if (!ReadRecordLines(in, records, node_count, part.Handed.Records)) return std::nullopt;
  if (in >> word) return std::nullopt;
  return part;
}

std::string ShardFileName(const std::string& task_argument, const tShard& shard,
                          const std::string& extension) {
  return OutputFileName(task_argument, "." + std::to_string(shard.K) + "OF" +
                                           std::to_string(shard.N) + extension);
}

std::vector<tPartFile> FindPartFiles(const std::string& task_argument) {
  // The name of shard 1 of 1 shows where the parts are and how their names begin.
  const std::string one = ForceExtension(task_argument, ".1OF1.PRT");
  const std::size_t slash = one.rfind('/');
  const std::string directory = slash == std::string::npos ? "." : one.substr(0, slash + 1);
  const std::string prefix = one.substr(slash + 1, one.size() - slash - 1 - 9) + ".";
  std::vector<tPartFile> found;
  std::error_code error;
  for (const auto& file : std::filesystem::directory_iterator(directory, error)) {
    const std::string name = file.path().filename().string();
    const std::string upper = UpperCase(name);
    if (!upper.starts_with(prefix) || !upper.ends_with(kPartExtension)) continue;
    const std::string middle =
        upper.substr(prefix.size(), upper.size() - prefix.size() - (sizeof kPartExtension - 1));
    const std::size_t of = middle.find("OF");
    if (of == std::string::npos) continue;
    const auto shard = ParseShard(middle.substr(0, of) + "/" + middle.substr(of + 2));
    if (!shard) continue;
    found.push_back({slash == std::string::npos ? name : directory + name, *shard});
  }
  return found;
}

}  // namespace glycomb
