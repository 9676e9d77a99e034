#include "report/stick_plot.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

#include "console/checked.hpp"
#include "report/markup.hpp"
#include "report/residue_symbols.hpp"

namespace glycomb {
namespace {

constexpr double kWidth = 880;
constexpr double kPlotLeft = 80;  // room for the row titles
constexpr double kPlotRight = 860;
constexpr double kStick = 64;           // length of a stick
constexpr double kGap = 36;             // between the measured and the calculated baseline
constexpr double kTop = 22;             // legend row above the sticks
constexpr std::int32_t kPadding = 20;   // tenths of a ppm beyond the outermost shifts
constexpr std::int32_t kRounding = 50;  // the axis ends on multiples of 5 ppm

struct tCarbon {
  std::int32_t Shift = 0;
  std::size_t Residue = 0;
  std::size_t Carbon = 0;  // 0 for C1
};

std::vector<tCarbon> AllCarbons(const tReportUnit& unit) {
  std::vector<tCarbon> carbons;
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    const signal_array& shifts = unit.Residues[r].Calculated;
    for (std::size_t k = 0; k < shifts.size(); ++k) carbons.push_back({shifts[k], r, k});
  }
  return carbons;
}

std::string Attribute(const char* name, double value) {
  return std::string(" ") + name + "=\"" + Number(value) + "\"";
}

std::string Line(const char* classes, double x1, double y1, double x2, double y2,
                 const char* colour, const std::string& title) {
  std::string line = std::string("<line class=\"") + classes + "\"" + Attribute("x1", x1) +
                     Attribute("y1", y1) + Attribute("x2", x2) + Attribute("y2", y2);
  if (colour != nullptr) line += std::string(" stroke=\"") + colour + "\"";
  if (title.empty()) return line + "/>";
  return line + "><title>" + EscapeXml(title) + "</title></line>";
}

std::int32_t RoundDown(std::int32_t value, std::int32_t step) {
  return (value >= 0 ? value : value - step + 1) / step * step;
}

}  // namespace

std::vector<signal_array> RankMatching(const tReportUnit& unit, const signal_array& measured) {
  std::vector<tCarbon> carbons = AllCarbons(unit);
  if (carbons.size() != measured.size()) {
    CheckFailed("range check error: spectra of different lengths");
  }
  std::stable_sort(carbons.begin(), carbons.end(),
                   [](const tCarbon& a, const tCarbon& b) { return a.Shift < b.Shift; });
  signal_array sorted = measured;
  std::sort(sorted.begin(), sorted.end());
  std::vector<signal_array> matching(unit.Residues.size());
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    matching[r].resize(unit.Residues[r].Calculated.size());
  }
  for (std::size_t i = 0; i < carbons.size(); ++i) {
    matching[carbons[i].Residue][carbons[i].Carbon] = sorted[i];
  }
  return matching;
}

std::string DrawStickPlot(const tReportUnit& unit, const signal_array& measured,
                          const std::vector<signal_array>* matching) {
  const std::vector<tCarbon> carbons = AllCarbons(unit);
  if (carbons.empty() && measured.empty()) return "";
  std::int32_t low = INT32_MAX, high = INT32_MIN;
  for (const tCarbon& carbon : carbons) {
    low = std::min(low, carbon.Shift);
    high = std::max(high, carbon.Shift);
  }
  for (const std::int32_t shift : measured) {
    low = std::min(low, shift);
    high = std::max(high, shift);
  }
  const std::int32_t left = RoundDown(high + kPadding, kRounding) + kRounding;
  const std::int32_t right = RoundDown(low - kPadding, kRounding);
  const double scale = (kPlotRight - kPlotLeft) / (left - right);
  const auto x = [&](std::int32_t shift) { return kPlotLeft + (left - shift) * scale; };

  const bool with_measured = !measured.empty();
  const double measured_base = kTop + kStick;
  const double calculated_base = with_measured ? measured_base + kGap : kTop + 8;
  const double axis = calculated_base + kStick + 14;
  const double height = axis + 38;

  std::string body;
  // Legend: every residue's tag and name in its colour.
  double legend_x = kPlotLeft;
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    const std::string name =
        ResidueTag(r) + " " +
        IupacResidueName(unit.Residues[r], AminoSubstituted(unit, static_cast<int>(r)));
    body += "<text class=\"legend\"" + Attribute("x", legend_x) + Attribute("y", 14) + " fill=\"" +
            ResidueColour(r) + "\">" + EscapeXml(name) + "</text>";
    legend_x += 14 + 6.5 * static_cast<double>(name.size());
  }
  if (with_measured) {
    body += "<text class=\"row-title\"" + Attribute("x", 4) + Attribute("y", measured_base - 4) +
            ">measured</text>";
    body += Line("baseline", kPlotLeft, measured_base, kPlotRight, measured_base, nullptr, "");
  }
  body += "<text class=\"row-title\"" + Attribute("x", 4) + Attribute("y", calculated_base + 12) +
          ">calculated</text>";
  body += Line("baseline", kPlotLeft, calculated_base, kPlotRight, calculated_base, nullptr, "");

  // Which residue each measured shift is paired with, for its colour.
  signal_array sorted = measured;
  std::sort(sorted.begin(), sorted.end());
  std::vector<int> owner(sorted.size(), kNoResidue);
  std::string joins, calculated;
  for (const tCarbon& carbon : carbons) {
    const std::string name = ResidueTag(carbon.Residue) + " C" + std::to_string(carbon.Carbon + 1);
    const char* colour = ResidueColour(carbon.Residue);
    const double xc = x(carbon.Shift);
    calculated += Line("stick calculated", xc, calculated_base, xc, calculated_base + kStick,
                       colour, name + ": " + Ppm(carbon.Shift) + " ppm calculated");
    if (matching == nullptr || !with_measured) continue;
    const std::int32_t partner = At(At(*matching, carbon.Residue), carbon.Carbon);
    for (std::size_t j = 0; j < sorted.size(); ++j) {
      if (sorted[j] == partner && owner[j] == kNoResidue) {
        owner[j] = static_cast<int>(carbon.Residue);
        break;
      }
    }
    joins += Line("join", x(partner), measured_base, xc, calculated_base, colour, "");
  }
  for (std::size_t j = 0; j < sorted.size(); ++j) {
    const char* colour =
        owner[j] == kNoResidue ? "#555555" : ResidueColour(static_cast<std::size_t>(owner[j]));
    const double xm = x(sorted[j]);
    body += Line("stick measured", xm, measured_base - kStick, xm, measured_base, colour,
                 Ppm(sorted[j]) + " ppm measured");
  }
  body += joins + calculated;

  // The ppm axis, ticks every 10 ppm (5 ppm on a short axis).
  const std::int32_t step = left - right > 600 ? 100 : 50;
  body += "<g class=\"axis\">" + Line("axis-line", kPlotLeft, axis, kPlotRight, axis, nullptr, "");
  for (std::int32_t tick = RoundDown(left, step); tick >= right; tick -= step) {
    body += "<g class=\"tick\">" +
            Line("tick-line", x(tick), axis, x(tick), axis + 5, nullptr, "") + "<text" +
            Attribute("x", x(tick)) + Attribute("y", axis + 17) + ">" + std::to_string(tick / 10) +
            "</text></g>";
  }
  body += "<text class=\"axis-title\"" + Attribute("x", kPlotRight) + Attribute("y", axis + 32) +
          ">δ, ppm</text></g>";

  return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"sticks\"" + Attribute("width", kWidth) +
         Attribute("height", height) + " viewBox=\"0 0 " + Number(kWidth) + " " + Number(height) +
         "\" role=\"img\"><title>13C spectrum, " +
         (with_measured ? "measured (up) and calculated (down)" : "calculated") + "</title>" +
         body + "</svg>";
}

}  // namespace glycomb
