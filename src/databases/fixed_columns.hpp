// Pieces shared by the readers of the fixed-column database files: columns of a line, numbers
// written with their tenths digit in a column of its own, and letter codes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace glycomb {

// A column that must hold a fixed character.
struct tPunctuation {
  std::size_t Column;
  char Letter;
};

// A number with its tenths digit behind a "." column: sign and integer part in First..Last.
struct tTenthsColumns {
  std::size_t First, Last, Point, Tenths;
};

// Column `column` of `line` (column 1 is the first character), or '\0' beyond its end.
char ColumnChar(const std::string& line, std::size_t column);

// Columns `first`..`last` of `line`, cut short at its end.
std::string ColumnText(const std::string& line, std::size_t first, std::size_t last);

// The integer text of a fixed-point number: columns `first`..`last` (sign and integer part)
// followed by the tenths digit in column `tenths`; " 93" and "2" from " 93.2" give " 932".
std::string TenthsText(const std::string& line, std::size_t first, std::size_t last,
                       std::size_t tenths);

// The decimal integer in `text`: leading blanks, an optional sign and at least one digit, nothing
// after them. Empty when the text is not such a number or lies outside 32 bits.
std::optional<std::int32_t> ParseInteger(std::string_view text);

// One code of a letter field and the letters that stand for it.
struct tLetterCode {
  const char* Letters;
  std::uint8_t Code;
};

// The code of `letter` in `codes`; empty when no entry lists it.
std::optional<std::uint8_t> DecodeLetter(char letter, std::span<const tLetterCode> codes);

}  // namespace glycomb
