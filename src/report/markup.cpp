#include "report/markup.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

#include "console/formatting.hpp"

namespace glycomb {

namespace {

// Length of the well-formed UTF-8 sequence at the start of `text`, or 0.
std::size_t Utf8Length(std::string_view text) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char first = byte(0);
  std::size_t length = 0;
  unsigned low = 0x80, high = 0xBF;  // allowed range of the second byte
  if (first < 0x80) return 1;
  if (first >= 0xC2 && first <= 0xDF) length = 2;
  if (first >= 0xE0 && first <= 0xEF) length = 3;
  if (first >= 0xF0 && first <= 0xF4) length = 4;
  if (first == 0xE0) low = 0xA0;
  if (first == 0xED) high = 0x9F;  // no surrogates
  if (first == 0xF0) low = 0x90;
  if (first == 0xF4) high = 0x8F;
  if (length == 0 || text.size() < length || byte(1) < low || byte(1) > high) return 0;
  for (std::size_t i = 2; i < length; ++i) {
    if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
  }
  return length;
}

}  // namespace

std::string EscapeXml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  while (!text.empty()) {
    const char c = text.front();
    const std::size_t length = Utf8Length(text);
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default:
        // Names come from data files in any encoding; what is not UTF-8, and the control
        // characters that XML does not allow, become U+FFFD.
        if (length == 0 || (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\n')) {
          escaped += "\uFFFD";
        } else {
          escaped.append(text.substr(0, length));
        }
    }
    text.remove_prefix(length == 0 ? 1 : length);
  }
  return escaped;
}

std::string Number(double value) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%.2f", std::round(value * 100) / 100);
  std::string text = buffer;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text == "-0" ? "0" : text;
}

std::string Ppm(std::int32_t tenths) { return FormatTenths(tenths, "−"); }

std::string SignedPpm(std::int32_t tenths) { return (tenths > 0 ? "+" : "") + Ppm(tenths); }

const char* ResidueColour(std::size_t index) {
  static constexpr const char* kColours[] = {"#1F77B4", "#D62728", "#2CA02C", "#9467BD", "#FF7F0E",
                                             "#8C564B", "#E377C2", "#17BECF", "#7F7F7F"};
  return kColours[index % std::size(kColours)];
}

std::string ResidueTag(std::size_t index) {
  return std::string(1, static_cast<char>('A' + index % 26));
}

}  // namespace glycomb
