#include "report/markup.hpp"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iterator>

namespace glycomb {

std::string EscapeXml(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '&': escaped += "&amp;"; break;
      case '<': escaped += "&lt;"; break;
      case '>': escaped += "&gt;"; break;
      case '"': escaped += "&quot;"; break;
      default:
        // Control characters are not allowed in XML 1.0; none belongs in a report.
        if (static_cast<unsigned char>(c) < 32 && c != '\t' && c != '\n') {
          escaped += '?';
        } else {
          escaped += c;
        }
    }
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

std::string Ppm(std::int32_t tenths) {
  const std::int32_t magnitude = std::abs(tenths);
  return (tenths < 0 ? "−" : "") + std::to_string(magnitude / 10) + "." +
         std::to_string(magnitude % 10);
}

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
