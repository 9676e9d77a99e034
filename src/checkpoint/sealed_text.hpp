// The pieces the checkpoint and the part of a shard share: a text sealed by a last line with the
// hash of every line before it, and the line of one kept or handed-on structure.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "search/best_structures.hpp"

namespace glycomb {

// FNV-1a, 64 bits.
class tHash {
 public:
  void Add(const std::string& bytes) {
    for (const unsigned char c : bytes) {
      value_ ^= c;
      value_ *= 0x100000001b3ULL;
    }
  }
  std::string Hex() const;

 private:
  std::uint64_t value_ = 0xcbf29ce484222325ULL;
};

// `body` followed by "check <hash of body>".
std::string Sealed(const std::string& body);
// The body of a sealed text, or nothing when its last line is missing or does not match.
std::optional<std::string> Unsealed(const std::string& text);
// Opens the body of a sealed text for reading after its first line, which must be `header`;
// false when the seal or the header does not match.
bool OpenSealed(const std::string& text, const char* header, std::istringstream& in);

// "entry <topology> <sum> <offset> <line of each of 9 nodes> <residue anomeric absolute
// position1 position2 of each node>".
void WriteRecordLine(std::ostream& out, const tResultRecord& record);
// Reads such a line of a structure of `node_count` nodes; false when it is not one, or a number
// does not fit its field.
bool ReadRecordLine(std::istream& in, std::size_t node_count, tResultRecord& record);
// Reads `count` such lines into `records`; false at the first that is not one.
bool ReadRecordLines(std::istream& in, std::size_t count, std::size_t node_count,
                     std::vector<tResultRecord>& records);

}  // namespace glycomb
