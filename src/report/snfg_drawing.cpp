#include "report/snfg_drawing.hpp"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <set>
#include <utility>
#include <vector>

#include "console/checked.hpp"
#include "report/markup.hpp"
#include "report/residue_symbols.hpp"

namespace glycomb {
namespace {

// Geometry, in pixels.
constexpr double kColumn = 78;    // between the centres of a residue and the one it carries
constexpr double kRow = 60;       // between a residue and the side chain above it
constexpr double kHalf = 13;      // half the size of a symbol
constexpr double kWideHalf = 22;  // half the width of a labelled white shape
constexpr double kMarginX = 58;   // from the picture's edge to the nearest symbol centre
constexpr double kMarginTop = 30;
constexpr double kMarginBottom = 34;
constexpr double kBracketGap = 48;  // from the outermost symbol centres to the brackets
constexpr double kStub = 18;        // how far the closing linkage reaches beyond a bracket

struct tPoint {
  double X = 0;
  double Y = 0;
};

// Columns grow to the left from the last residue of the main chain (column 0); rows grow upwards
// (negative) from the main chain (row 0). A residue's chain child stands one column to its left on
// its row; its side chain stands straight above it, on the lowest row where neither the side
// chain's symbols nor its vertical bonds meet what is drawn already.
class tLayout {
 public:
  explicit tLayout(const tReportUnit& unit)
      : unit_(unit), place_(unit.Residues.size(), {kUnplaced, 0}) {
    for (const tCell& cell : Arrange(unit.MainChain.back(), 0).Symbols) {
      auto& place = glycomb::At(place_, static_cast<std::size_t>(cell.Residue));
      if (place.first != kUnplaced) CheckFailed("report unit is not a tree");
      place = {cell.Column, cell.Row};
    }
    for (const auto& [column, row] : place_) {
      if (column == kUnplaced) CheckFailed("report unit is not a tree");
      max_column_ = std::max(max_column_, column);
      min_row_ = std::min(min_row_, row);
    }
  }

  tPoint At(int residue) const {
    const auto& [column, row] = glycomb::At(place_, static_cast<std::size_t>(residue));
    return {kMarginX + kBracketGap + (max_column_ - column) * kColumn,
            kMarginTop + (row - min_row_) * kRow};
  }

  // The chain child that the drawing attaches to `residue` (the closing linkage is drawn apart).
  int ChainChild(int residue) const {
    return residue == unit_.MainChain.front() ? kNoResidue : Residue(residue).ChainChild;
  }

 private:
  static constexpr int kUnplaced = -1;

  struct tCell {
    int Residue = 0;
    int Column = 0;
    int Row = 0;
  };
  // A subtree laid out around its root at (0, 0): its symbols and every cell that a symbol or a
  // vertical bond takes.
  struct tShape {
    std::vector<tCell> Symbols;
    std::set<std::pair<int, int>> Taken;
  };

  const tReportResidue& Residue(int index) const {
    return glycomb::At(unit_.Residues, static_cast<std::size_t>(index));
  }

  tShape Arrange(int residue, int depth) {
    // A tree of n residues is never deeper than n; anything deeper has a cycle.
    if (depth > static_cast<int>(unit_.Residues.size())) CheckFailed("report unit is not a tree");
    tShape shape;
    shape.Symbols.push_back({residue, 0, 0});
    shape.Taken.insert({0, 0});
    if (const int chain = ChainChild(residue); chain != kNoResidue) {
      const tShape chain_shape = Arrange(chain, depth + 1);
      for (const tCell& cell : chain_shape.Symbols) {
        shape.Symbols.push_back({cell.Residue, cell.Column + 1, cell.Row});
      }
      for (const auto& [column, row] : chain_shape.Taken) shape.Taken.insert({column + 1, row});
    }
    if (const int branch = Residue(residue).BranchChild; branch != kNoResidue) {
      const tShape side = Arrange(branch, depth + 1);
      int lift = 1;
      while (!Fits(shape, side, lift)) ++lift;
      for (int row = -1; row > -lift; --row) shape.Taken.insert({0, row});
      for (const tCell& cell : side.Symbols) {
        shape.Symbols.push_back({cell.Residue, cell.Column, cell.Row - lift});
      }
      for (const auto& [column, row] : side.Taken) shape.Taken.insert({column, row - lift});
    }
    return shape;
  }

  // Whether `side`, raised by `lift` rows above the root of `shape`, and the vertical bond up to
  // it stay clear of everything in `shape`.
  static bool Fits(const tShape& shape, const tShape& side, int lift) {
    for (int row = -1; row > -lift; --row) {
      if (shape.Taken.contains({0, row})) return false;
    }
    for (const auto& [column, row] : side.Taken) {
      if (shape.Taken.contains({column, row - lift})) return false;
    }
    return true;
  }

  const tReportUnit& unit_;
  std::vector<std::pair<int, int>> place_;  // column and row of every residue
  int max_column_ = 0;
  int min_row_ = 0;
};

std::string Attribute(const char* name, double value) {
  return std::string(" ") + name + "=\"" + Number(value) + "\"";
}

std::string Polygon(const std::vector<tPoint>& points, const char* colour_class) {
  std::string d = "<path class=\"" + std::string(colour_class) + "\" d=\"M";
  for (std::size_t i = 0; i < points.size(); ++i) {
    d += (i == 0 ? " " : " L ") + Number(points[i].X) + " " + Number(points[i].Y);
  }
  return d + " Z\"/>";
}

// The shape elements of a symbol centred at `c`.
std::string ShapeElements(const tSnfgSymbol& symbol, tPoint c) {
  const char* fill = ColourClassName(symbol.Colour);
  const char* white = ColourClassName(tSnfgColour::kWhite);
  const char* upper = symbol.Inverted ? white : fill;
  const char* lower = symbol.Inverted ? fill : white;
  const double h = kHalf, x = c.X, y = c.Y;
  switch (symbol.Shape) {
    case tSnfgShape::kCircle:
      return "<circle class=\"" + std::string(fill) + "\"" + Attribute("cx", x) +
             Attribute("cy", y) + Attribute("r", h) + "/>";
    case tSnfgShape::kSquare:
      return Polygon({{x - h, y - h}, {x + h, y - h}, {x + h, y + h}, {x - h, y + h}}, fill);
    case tSnfgShape::kCrossedSquare:
      return Polygon({{x - h, y - h}, {x + h, y - h}, {x - h, y + h}}, upper) +
             Polygon({{x + h, y - h}, {x + h, y + h}, {x - h, y + h}}, lower);
    case tSnfgShape::kDividedDiamond:
      return Polygon({{x - h, y}, {x, y - h}, {x + h, y}}, upper) +
             Polygon({{x - h, y}, {x + h, y}, {x, y + h}}, lower);
    case tSnfgShape::kTriangle: return Polygon({{x, y - h}, {x + h, y + h}, {x - h, y + h}}, fill);
    case tSnfgShape::kDividedTriangle:
      return Polygon({{x, y - h}, {x, y + h}, {x - h, y + h}}, upper) +
             Polygon({{x, y - h}, {x + h, y + h}, {x, y + h}}, lower);
    case tSnfgShape::kFlatRectangle:
      return Polygon(
          {{x - h, y - h / 2}, {x + h, y - h / 2}, {x + h, y + h / 2}, {x - h, y + h / 2}}, fill);
    case tSnfgShape::kStar: {
      std::vector<tPoint> points;
      for (int k = 0; k < 10; ++k) {
        const double radius = (k % 2 == 0 ? 1.2 : 0.5) * h;
        const double angle = -std::numbers::pi / 2 + k * std::numbers::pi / 5;
        points.push_back({x + radius * std::cos(angle), y + 1.5 + radius * std::sin(angle)});
      }
      return Polygon(points, fill);
    }
    case tSnfgShape::kDiamond:
      return Polygon({{x, y - h}, {x + h, y}, {x, y + h}, {x - h, y}}, fill);
    case tSnfgShape::kFlatDiamond:
      return Polygon({{x, y - 0.6 * h}, {x + 1.2 * h, y}, {x, y + 0.6 * h}, {x - 1.2 * h, y}},
                     fill);
    case tSnfgShape::kFlatHexagon: {
      const double w = symbol.Fallback ? kWideHalf : 1.25 * h, v = symbol.Fallback ? 11 : 0.7 * h;
      return Polygon({{x - w, y},
                      {x - w + v, y - v},
                      {x + w - v, y - v},
                      {x + w, y},
                      {x + w - v, y + v},
                      {x - w + v, y + v}},
                     fill);
    }
    case tSnfgShape::kPentagon: {
      std::vector<tPoint> points;
      for (int k = 0; k < 5; ++k) {
        const double angle = -std::numbers::pi / 2 + k * 2 * std::numbers::pi / 5;
        points.push_back({x + 1.1 * h * std::cos(angle), y + 1.5 + 1.1 * h * std::sin(angle)});
      }
      return Polygon(points, fill);
    }
    case tSnfgShape::kRoundedRectangle:
      return "<rect class=\"" + std::string(fill) + "\"" + Attribute("x", x - kWideHalf) +
             Attribute("y", y - 11) + Attribute("width", 2 * kWideHalf) + Attribute("height", 22) +
             Attribute("rx", 6) + "/>";
  }
  CheckFailed("unknown symbol shape");
}

// The text of a bond: the anomeric configuration of the attached residue and the position of the
// carrier; to a phosphate a residue is attached by its C1, a phosphate by the carrier's position.
std::string LinkageLabel(const tReportResidue& child, const tReportResidue& carrier,
                         std::uint8_t position) {
  if (child.Phosphate) return carrier.Phosphate ? "" : std::to_string(position);
  return AnomericSymbol(child) + (carrier.Phosphate ? "1" : std::to_string(position));
}

class tDrawing {
 public:
  explicit tDrawing(const tReportUnit& unit) : unit_(unit), layout_(unit) {}

  std::string Svg() {
    double left = 1e9, right = -1e9, top = 1e9, bottom = -1e9;
    for (std::size_t i = 0; i < unit_.Residues.size(); ++i) {
      const tPoint p = layout_.At(static_cast<int>(i));
      left = std::min(left, p.X);
      right = std::max(right, p.X);
      top = std::min(top, p.Y);
      bottom = std::max(bottom, p.Y);
    }
    const double bracket_left = left - kBracketGap, bracket_right = right + kBracketGap;
    const double bracket_top = top - kHalf - 12, bracket_bottom = bottom + kHalf + 16;
    const double width = bracket_right + kMarginX, height = bracket_bottom + kMarginBottom - 16;

    std::string body;
    for (std::size_t i = 0; i < unit_.Residues.size(); ++i) {
      const int carrier = static_cast<int>(i);
      const tReportResidue& residue = unit_.Residues[i];
      if (const int chain = layout_.ChainChild(carrier); chain != kNoResidue) {
        body += Bond(chain, carrier, residue.ChainPosition);
      }
      if (residue.BranchChild != kNoResidue) {
        body += Bond(residue.BranchChild, carrier, residue.BranchPosition);
      }
    }
    body += ClosingBond(bracket_left, bracket_right);
    body += "<g class=\"repeat-bracket\"><path d=\"M " + Number(bracket_left + 7) + " " +
            Number(bracket_top) + " H " + Number(bracket_left) + " V " + Number(bracket_bottom) +
            " H " + Number(bracket_left + 7) + "\"/><path d=\"M " + Number(bracket_right - 7) +
            " " + Number(bracket_top) + " H " + Number(bracket_right) + " V " +
            Number(bracket_bottom) + " H " + Number(bracket_right - 7) +
            "\"/><text class=\"repeat\"" + Attribute("x", bracket_right + 5) +
            Attribute("y", bracket_bottom + 4) + ">n</text></g>";
    for (std::size_t i = 0; i < unit_.Residues.size(); ++i) body += Symbol(static_cast<int>(i));

    return "<svg xmlns=\"http://www.w3.org/2000/svg\" class=\"snfg\"" + Attribute("width", width) +
           Attribute("height", height) + " viewBox=\"0 0 " + Number(width) + " " + Number(height) +
           "\" role=\"img\"><title>" + EscapeXml(title_) + "</title>" + body + "</svg>";
  }

 private:
  const tReportResidue& Residue(int index) const {
    return At(unit_.Residues, static_cast<std::size_t>(index));
  }

  // Where a text of a bond stands: its point and its text-anchor.
  struct tPlace {
    tPoint At;
    const char* Anchor;
  };

  // A bond's group: its lines, its linkage label and, when a LINK line fixed it, the mark
  // "LINK k".
  std::string BondGroup(const char* classes, int child, int carrier, const std::string& lines,
                        tPlace label, tPlace mark, std::uint8_t position) {
    const int link = Residue(child).Link;
    std::string group = std::string("<g class=\"") + classes +
                        (link == kNoLink ? "" : " linked") + "\" data-child=\"" +
                        ResidueTag(static_cast<std::size_t>(child)) + "\" data-carrier=\"" +
                        ResidueTag(static_cast<std::size_t>(carrier)) + "\"";
    if (link != kNoLink) group += " data-link=\"" + std::to_string(link + 1) + "\"";
    group += ">" + lines + Text("linkage", label) +
             EscapeXml(LinkageLabel(Residue(child), Residue(carrier), position)) + "</text>";
    if (link != kNoLink) {
      group += Text("link-mark", mark) + "LINK " + std::to_string(link + 1) + "</text>";
    }
    return group + "</g>";
  }

  static std::string Text(const char* classes, tPlace place) {
    return std::string("<text class=\"") + classes + "\"" + Attribute("x", place.At.X) +
           Attribute("y", place.At.Y) + " text-anchor=\"" + place.Anchor + "\">";
  }

  static std::string Line(tPoint a, tPoint b) {
    return "<line" + Attribute("x1", a.X) + Attribute("y1", a.Y) + Attribute("x2", b.X) +
           Attribute("y2", b.Y) + "/>";
  }

  std::string Bond(int child, int carrier, std::uint8_t position) {
    const tPoint a = layout_.At(child), b = layout_.At(carrier);
    const bool vertical = std::abs(a.X - b.X) < 0.5;
    const double middle = (a.Y + b.Y) / 2;
    // Beside a vertical bond the label stands to the right and the mark above it (the tag of the
    // residue above is on the left); a horizontal bond has the label above and the mark below.
    if (vertical) {
      return BondGroup("bond", child, carrier, Line(a, b), {{a.X + 5, middle + 4}, "start"},
                       {{a.X + 5, middle - 7}, "start"}, position);
    }
    const double centre = (a.X + b.X) / 2;
    return BondGroup("bond", child, carrier, Line(a, b), {{centre, middle - 6}, "middle"},
                     {{centre, middle + 14}, "middle"}, position);
  }

  // The linkage from the last residue of the main chain to the first, drawn as the two halves
  // that leave the unit through its brackets.
  std::string ClosingBond(double bracket_left, double bracket_right) {
    const int first = unit_.MainChain.front(), last = unit_.MainChain.back();
    const tPoint a = layout_.At(last), b = layout_.At(first);
    const std::string lines =
        Line(a, {bracket_right + kStub, a.Y}) + Line({bracket_left - kStub, b.Y}, b);
    // The mark is wider than the room inside the bracket: it stands under the outer stub.
    return BondGroup("bond closing", last, first, lines,
                     {{(a.X + kHalf + bracket_right) / 2, a.Y - 6}, "middle"},
                     {{bracket_right + 3, a.Y + 14}, "start"}, Residue(first).ChainPosition);
  }

  std::string Symbol(int index) {
    const tReportResidue& residue = Residue(index);
    const bool amino = AminoSubstituted(unit_, index);
    const tSnfgSymbol symbol = SymbolOf(residue, amino);
    const std::string tag = ResidueTag(static_cast<std::size_t>(index));
    const std::string name = IupacResidueName(residue, amino);
    title_ += (title_.empty() ? "" : ", ") + tag + " " + name;
    const tPoint c = layout_.At(index);
    std::string group = "<g class=\"residue " + std::string(ShapeClassName(symbol.Shape)) + " " +
                        ColourClassName(symbol.Colour) + (symbol.Fallback ? " fallback" : "") +
                        "\" data-tag=\"" + tag + "\" data-name=\"" + EscapeXml(residue.Name) +
                        "\" transform=\"translate(" + Number(c.X) + " " + Number(c.Y) +
                        ")\"><title>" + tag + ": " + EscapeXml(name) + "</title>" +
                        ShapeElements(symbol, {0, 0});
    if (!symbol.Label.empty()) {
      const bool dark = IsDarkColour(symbol.Colour) && !symbol.Inverted;
      group += std::string("<text class=\"symbol-label") + (dark ? " on-dark" : "") +
               (symbol.Fallback ? " name" : "") + "\"" + Attribute("x", 0) + Attribute("y", 4) +
               ">" + EscapeXml(symbol.Label) + "</text>";
    }
    // Below and to the left, clear of the bonds, which leave a symbol to the right and upwards.
    const double edge = symbol.Fallback ? kWideHalf : kHalf;
    return group + "</g><text class=\"tag\"" + Attribute("x", c.X - edge + 2) +
           Attribute("y", c.Y + kHalf + 11) + " fill=\"" +
           ResidueColour(static_cast<std::size_t>(index)) + "\">" + tag + "</text>";
  }

  const tReportUnit& unit_;
  tLayout layout_;
  std::string title_;
};

}  // namespace

std::string DrawUnit(const tReportUnit& unit) {
  if (unit.MainChain.empty()) CheckFailed("report unit without a main chain");
  return tDrawing(unit).Svg();
}

}  // namespace glycomb
