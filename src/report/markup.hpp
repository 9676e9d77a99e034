// Small pieces of XML markup shared by the report renderers. Everything they write is well-formed
// XML, so that a report page is XHTML as well as HTML.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace glycomb {

// `text` with &, <, > and " written as character references, and every byte that is not part of
// well-formed UTF-8, or a control character other than tab and line feed, as U+FFFD.
std::string EscapeXml(std::string_view text);

// A coordinate or length: at most two decimals, no trailing zeros ("12.5", "40").
std::string Number(double value);

// A shift in tenths of a ppm written in ppm with one decimal, with a true minus sign for negative
// values: 1015 gives "101.5", -8 gives "−0.8".
std::string Ppm(std::int32_t tenths);

// The same with an explicit sign: "+1.2", "−0.8", "0.0".
std::string SignedPpm(std::int32_t tenths);

// The letter that tags residue `index` (0-based) of a unit in drawings, tables and plots: A, B, ...
std::string ResidueTag(std::size_t index);

// The colour that stands for residue `index` in drawings, plots and tables.
const char* ResidueColour(std::size_t index);

}  // namespace glycomb
