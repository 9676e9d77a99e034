#include "databases/fixed_columns.hpp"

#include <cstring>
#include <limits>

namespace glycomb {

char ColumnChar(const std::string& line, std::size_t column) {
  return column >= 1 && column <= line.size() ? line[column - 1] : '\0';
}

std::string ColumnText(const std::string& line, std::size_t first, std::size_t last) {
  if (first < 1 || first > line.size() || last < first) return "";
  return line.substr(first - 1, last - first + 1);
}

std::string TenthsText(const std::string& line, std::size_t first, std::size_t last,
                       std::size_t tenths) {
  std::string text = ColumnText(line, first, last);
  if (tenths >= 1 && tenths <= line.size()) text += line[tenths - 1];
  return text;
}

std::optional<std::int32_t> ParseInteger(std::string_view text) {
  std::size_t at = 0;
  while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
  if (at == text.size()) return std::nullopt;
  std::int64_t value = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return std::nullopt;
    value = value * 10 + (text[at] - '0');
    if (value > std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

std::optional<std::uint8_t> DecodeLetter(char letter, std::span<const tLetterCode> codes) {
  if (letter == '\0') return std::nullopt;
  for (const tLetterCode& code : codes) {
    if (std::strchr(code.Letters, letter) != nullptr) return code.Code;
  }
  return std::nullopt;
}

}  // namespace glycomb
