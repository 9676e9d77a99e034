#include "checkpoint/sealed_text.hpp"

#include <cinttypes>
#include <cstdio>
#include <istream>
#include <ostream>
#include <type_traits>

namespace glycomb {

std::string tHash::Hex() const {
  char text[17];
  std::snprintf(text, sizeof text, "%016" PRIx64, value_);
  return text;
}

std::string Sealed(const std::string& body) {
  tHash hash;
  hash.Add(body);
  return body + "check " + hash.Hex() + "\n";
}

std::optional<std::string> Unsealed(const std::string& text) {
  const std::size_t check = text.rfind("check ");
  if (check == std::string::npos || (check > 0 && text[check - 1] != '\n')) return std::nullopt;
  std::string body = text.substr(0, check);
  if (Sealed(body) != text) return std::nullopt;
  return body;
}

void WriteRecordLine(std::ostream& out, const tResultRecord& record) {
  out << "entry " << unsigned{record.Structure.Topology} << ' ' << record.Deviation << ' '
      << record.Offset;
  for (const std::uint8_t line : record.LineOfNode) out << ' ' << unsigned{line};
  for (const tStructureNode& node : record.Structure.Nodes) {
    out << ' ' << unsigned{node.Residue} << ' ' << unsigned{node.Anomeric} << ' '
        << unsigned{node.Absolute} << ' ' << unsigned{node.Subst1} << ' '
        << unsigned{node.Subst2};
  }
  out << '\n';
}

bool ReadRecordLine(std::istream& in, std::size_t node_count, tResultRecord& record) {
  const auto read = [&in](auto& field, unsigned high) {
    long long value = 0;
    if (!(in >> value) || value < 0 || value > high) return false;
    field = static_cast<std::remove_reference_t<decltype(field)>>(value);
    return true;
  };
  std::string word;
  long long offset = 0;
  record = tResultRecord{};
  record.Structure.Nodes.resize(node_count);
  if (!(in >> word) || word != "entry" || !read(record.Structure.Topology, 255) ||
      !(in >> record.Deviation >> offset) || offset < -1000 || offset > 1000) {
    return false;
  }
  record.Offset = static_cast<std::int32_t>(offset);
  for (std::uint8_t& line : record.LineOfNode) {
    if (!read(line, kMaxResidues)) return false;
  }
  for (tStructureNode& node : record.Structure.Nodes) {
    if (!read(node.Residue, kMaxResidues) || !read(node.Anomeric, 1) || !read(node.Absolute, 1) ||
        !read(node.Subst1, 9) || !read(node.Subst2, 9)) {
      return false;
    }
  }
  return true;
}

bool OpenSealed(const std::string& text, const char* header, std::istringstream& in) {
  const std::optional<std::string> body = Unsealed(text);
  if (!body) return false;
  in.str(*body);
  std::string first;
  return std::getline(in, first) && first == header;
}

bool ReadRecordLines(std::istream& in, std::size_t count, std::size_t node_count,
                     std::vector<tResultRecord>& records) {
  for (std::size_t r = 0; r < count; ++r) {
    tResultRecord record;
    if (!ReadRecordLine(in, node_count, record)) return false;
    records.push_back(std::move(record));
  }
  return true;
}

}  // namespace glycomb
