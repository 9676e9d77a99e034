#include "report/html_report.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "report/consensus.hpp"
#include "confidence/probability.hpp"
#include "console/checked.hpp"
#include "report/markup.hpp"
#include "report/residue_symbols.hpp"
#include "report/snfg_drawing.hpp"
#include "report/stick_plot.hpp"

namespace glycomb {
namespace {

// Differences between a calculated and a measured shift from this size on (tenths of a ppm) are
// highlighted in the carbon table.
constexpr std::int32_t kLargeDifference = 15;

// The colour of the bonds that LINK lines fixed, and of their marks.
constexpr char kLinkColour[] = "#C51B7D";

// The style sheet of every page, with the style of the bonds LINK lines fixed when the task has
// LINK lines. No "<" or "&" in it: the page must stay well-formed XML.
std::string StyleSheet(bool links, bool probabilities) {
  std::string css =
      "body{font-family:'DejaVu Sans',Arial,sans-serif;color:#222;margin:24px;max-width:960px}"
      "h1{font-size:22px;margin:0 0 4px}h2{font-size:17px;margin:0 0 6px}"
      ".source{color:#555;margin:0 0 16px}"
      "section{border-top:1px solid #ccc;padding:12px 0 16px}"
      "table.facts th{text-align:left;padding:2px 16px 2px 0;font-weight:normal;color:#555}"
      "code{font-family:'DejaVu Sans Mono',monospace;font-size:13px;word-break:break-all}"
      ".rank{display:inline-block;min-width:28px;padding:1px 6px;margin-right:8px;"
      "background:#333;color:#fff;border-radius:4px;text-align:center}"
      ".shape{color:#666;font-weight:normal;font-size:14px;margin-left:10px}"
      ".offset{font-weight:normal;margin-left:10px}"
      ".forms p{margin:4px 0}.forms "
      ".label{display:inline-block;width:84px;color:#666;font-size:13px}"
      ".figure{overflow-x:auto}"
      "svg text{font-family:'DejaVu Sans',Arial,sans-serif}"
      "svg.snfg line{stroke:#000;stroke-width:1.4}"
      "svg.snfg .residue path,svg.snfg .residue circle,svg.snfg .residue rect"
      "{stroke:#000;stroke-width:1.2}"
      "svg.snfg .linkage{font-size:11px;fill:#000}"
      "svg.snfg .symbol-label{font-size:11px;font-weight:bold;text-anchor:middle;fill:#000}"
      "svg.snfg .symbol-label.name{font-size:10px;font-weight:normal}"
      "svg.snfg .symbol-label.on-dark{fill:#fff}"
      "svg.snfg .tag{font-size:10px;font-weight:bold;text-anchor:end}"
      "svg.snfg .repeat-bracket path{fill:none;stroke:#000;stroke-width:1.6}"
      "svg.snfg .repeat{font-size:13px;font-style:italic}"
      "svg.sticks line{stroke-width:1.5}svg.sticks .join{stroke-width:0.9;stroke-opacity:0.7}"
      "svg.sticks .baseline,svg.sticks .axis-line,svg.sticks .tick-line{stroke:#000;stroke-width:1}"
      "svg.sticks text{font-size:11px}svg.sticks .tick text{text-anchor:middle}"
      "svg.sticks .axis-title{text-anchor:end}svg.sticks .row-title{fill:#555}"
      "svg.sticks .legend{font-size:12px}"
      "table.carbons{border-collapse:collapse;margin-top:8px;font-size:12px}"
      "table.carbons th,table.carbons td{border:1px solid #ccc;padding:2px 6px}"
      "table.carbons td{text-align:right;line-height:1.3}"
      "table.carbons td span{display:block}table.carbons .meas{color:#555}"
      "table.carbons .diff{font-weight:bold}table.carbons td.large{background:#fde2c8}"
      ".note{color:#666;font-size:12px}";
  for (int c = 0; c <= static_cast<int>(tSnfgColour::kRed); ++c) {
    const auto colour = static_cast<tSnfgColour>(c);
    css += std::string(".") + ColourClassName(colour) + "{fill:" + ColourValue(colour) + "}";
  }
  if (probabilities) {
    css +=
        ".probability{font-weight:normal;margin-left:10px}"
        "table.summary,table.settled{border-collapse:collapse;font-size:13px}"
        "table.summary th,table.summary td,table.settled th,table.settled td"
        "{border:1px solid #ccc;padding:3px 8px;text-align:left;vertical-align:top}"
        "table.summary td.number{text-align:right}table.summary tr.outside td{color:#555}"
        ".open-cell{color:#888;font-style:italic}"
        "ul.open,ul.deciding{margin:4px 0;padding-left:20px}ul.open li,ul.deciding li{margin:3px 0}"
        ".share{color:#555}";
  }
  if (links) {
    css += std::string("svg.snfg .bond.linked line,svg.link-key line{stroke:") + kLinkColour +
           ";stroke-width:3.5}svg.snfg .link-mark{font-size:9px;font-weight:bold;fill:" +
           kLinkColour + "}.link-number{font-size:13px;font-weight:bold;color:" + kLinkColour +
           ";margin-right:6px}svg.link-key{vertical-align:middle;margin-right:4px}";
  }
  return css;
}

std::string Document(const std::string& title, const std::string& body, bool links = false,
                     bool probabilities = false) {
  return "<!DOCTYPE html>\n"
         "<html xmlns=\"http://www.w3.org/1999/xhtml\" lang=\"en\">\n"
         "<head>\n<meta charset=\"UTF-8\"/>\n<title>" +
         EscapeXml(title) + "</title>\n<style>" + StyleSheet(links, probabilities) +
         "</style>\n</head>\n<body>\n" + body +
         "<p class=\"note\">Written by GLYCOMB. Symbols: Symbol Nomenclature for Glycans "
         "(SNFG).</p>\n</body>\n</html>\n";
}

std::string RunTime(double seconds) {
  if (seconds < 60) return Number(seconds) + " s";
  const auto whole = static_cast<long long>(std::llround(seconds));
  return std::to_string(whole / 3600) + " h " + std::to_string(whole / 60 % 60) + " min " +
         std::to_string(whole % 60) + " s";
}

std::string FactRow(const std::string& name, const std::string& value_markup) {
  return "<tr><th>" + EscapeXml(name) + "</th><td>" + value_markup + "</td></tr>\n";
}

std::string TagMarkup(std::size_t residue) {
  return std::string("<b style=\"color:") + ResidueColour(residue) + "\">" + ResidueTag(residue) +
         "</b>";
}

// Residue by residue and carbon by carbon: the calculated shift and, with a measured spectrum, the
// shift paired with it and the difference (calculated minus measured).
std::string CarbonTable(const tReportUnit& unit, const std::vector<signal_array>* matching,
                        const std::string& caption) {
  std::size_t columns = 0;
  for (const tReportResidue& residue : unit.Residues) {
    columns = std::max(columns, residue.Calculated.size());
  }
  std::string html = "<p class=\"note\">" + caption + "</p>\n<table class=\"carbons\"><thead><tr>" +
                     "<th>Residue</th>";
  for (std::size_t k = 1; k <= columns; ++k) html += "<th>C" + std::to_string(k) + "</th>";
  html += "</tr></thead><tbody>";
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    const tReportResidue& residue = unit.Residues[r];
    html += "<tr><th>" + TagMarkup(r) + " " +
            EscapeXml(IupacResidueName(residue, AminoSubstituted(unit, static_cast<int>(r)))) +
            "</th>";
    for (std::size_t k = 0; k < columns; ++k) {
      if (k >= residue.Calculated.size()) {
        html += "<td></td>";
        continue;
      }
      const std::int32_t calculated = residue.Calculated[k];
      if (matching == nullptr) {
        html += "<td><span class=\"calc\">" + Ppm(calculated) + "</span></td>";
        continue;
      }
      const std::int32_t measured = At(At(*matching, r), k);
      const std::int32_t difference = calculated - measured;
      html += std::string("<td") +
              (std::abs(difference) >= kLargeDifference ? " class=\"large\"" : "") +
              "><span class=\"calc\">" + Ppm(calculated) + "</span><span class=\"meas\">" +
              Ppm(measured) + "</span><span class=\"diff\">" + SignedPpm(difference) +
              "</span></td>";
    }
    html += "</tr>";
  }
  return html + "</tbody></table>\n";
}

std::string Forms(const tReportStructure& structure) {
  return "<div class=\"forms\"><p><span class=\"label\">GLYCOMB</span><code>" +
         EscapeXml(structure.Notation) + "</code></p><p><span class=\"label\">IUPAC</span><code>" +
         EscapeXml(structure.Iupac) + "</code></p></div>\n";
}

std::string Figure(const std::string& svg) {
  return svg.empty() ? "" : "<div class=\"figure\">" + svg + "</div>\n";
}

// Under a drawing with bonds that LINK lines fixed: how they are drawn.
std::string LinkLegend(const tReportUnit& unit) {
  const bool any = std::any_of(unit.Residues.begin(), unit.Residues.end(),
                               [](const tReportResidue& r) { return r.Link != kNoLink; });
  if (!any) return "";
  return "<p class=\"note link-legend\"><svg xmlns=\"http://www.w3.org/2000/svg\" "
         "class=\"link-key\" width=\"28\" height=\"10\" viewBox=\"0 0 28 10\">"
         "<line x1=\"2\" y1=\"5\" x2=\"26\" y2=\"5\"/></svg>"
         "A thick bond marked LINK k was fixed by LINK line k of the task.</p>\n";
}

// The task's LINK lines, numbered as the drawings mark them.
std::string LinkLines(const std::vector<tLink>& links) {
  std::string html;
  for (std::size_t k = 0; k < links.size(); ++k) {
    html += (k == 0 ? "" : "<br/>") + std::string("<span class=\"link-number\">") +
            std::to_string(k + 1) + "</span><code>" + EscapeXml(links[k].Text) + "</code>";
  }
  return html;
}

std::string StructureSection(const tReportStructure& structure, const tReportTask& task,
                             bool best) {
  const std::vector<signal_array> matching = structure.MatchedShifts
                                                 ? *structure.MatchedShifts
                                                 : RankMatching(structure.Unit, task.Spectrum);
  std::string html = "<section class=\"structure\" id=\"rank-" + std::to_string(structure.Rank) +
                     "\">\n<h2><span class=\"rank\">" + std::to_string(structure.Rank) +
                     "</span>Dev. " + EscapeXml(structure.MeanDeviation) + " ppm per carbon";
  if (structure.Offset) {
    html += "<span class=\"offset\">offset " + SignedPpm(*structure.Offset) + " ppm</span>";
  }
  if (structure.Probability) {
    html += "<span class=\"probability\">probability " + FormatProbability(*structure.Probability) +
            "</span>";
  }
  html += "<span class=\"shape\">" + std::string(ShapeClassName(structure.ShapeClass)) + " (" +
          EscapeXml(structure.Shape) + ")</span></h2>\n<p class=\"note\">Sum of the differences " +
          Ppm(structure.Deviation) + " ppm over " + std::to_string(task.Spectrum.size()) +
          " carbons.</p>\n";
  html += Figure(DrawUnit(structure.Unit)) + LinkLegend(structure.Unit) + Forms(structure);
  if (structure.SpinSystems) {
    html += "<p class=\"spin-systems\">Spin systems:";
    for (std::size_t r = 0; r < structure.SpinSystems->size(); ++r) {
      // A phosphate has no spin system; the result file writes it "-".
      const int line = At(*structure.SpinSystems, r);
      html += " " + TagMarkup(r) + " " + (line < 0 ? std::string("–") : std::to_string(line + 1));
    }
    html += "</p>\n";
  }
  html += Figure(DrawStickPlot(structure.Unit, task.Spectrum, &matching));
  if (best) {
    html +=
        CarbonTable(structure.Unit, &matching,
                    std::string("Calculated, measured (paired ") +
                        (structure.MatchedShifts ? "as assigned" : "by rank, as the deviation") +
                        ") and their difference, ppm; differences of " + Ppm(kLargeDifference) +
                        " ppm or more are highlighted.");
  }
  return html + "</section>\n";
}

// Whether the report states probabilities (then it opens with the summary and the consensus).
bool HasProbabilities(const tSearchReport& report) {
  return report.OutsideList ||
         std::any_of(report.Structures.begin(), report.Structures.end(),
                     [](const tReportStructure& s) { return s.Probability.has_value(); });
}

std::string RankLink(std::size_t rank) {
  return "<a href=\"#rank-" + std::to_string(rank) + "\">" + std::to_string(rank) + "</a>";
}

std::string RankLinks(const std::vector<std::size_t>& ranks) {
  std::string html;
  for (std::size_t k = 0; k < ranks.size(); ++k) html += (k == 0 ? "" : ", ") + RankLink(ranks[k]);
  return html;
}

// One row per kept polymer and one for the rest.
std::string SummaryTable(const tSearchReport& report) {
  std::string html =
      "<section class=\"summary\" id=\"summary\">\n<h2>Summary</h2>\n<table class=\"summary\">"
      "<thead><tr><th>Rank</th><th>Probability</th><th>Dev., ppm per carbon</th><th>IUPAC</th>"
      "</tr></thead><tbody>";
  for (const tReportStructure& structure : report.Structures) {
    html += "<tr><td class=\"number\">" + RankLink(structure.Rank) + "</td><td class=\"number\">" +
            (structure.Probability ? FormatProbability(*structure.Probability) : "–") +
            "</td><td class=\"number\">" + EscapeXml(structure.MeanDeviation) + "</td><td><code>" +
            EscapeXml(structure.Iupac) + "</code></td></tr>";
  }
  if (report.OutsideList) {
    html += "<tr class=\"outside\"><td colspan=\"4\">Outside the list: at most " +
            FormatUpperBound(*report.OutsideList) + "</td></tr>";
  }
  return html + "</tbody></table>\n</section>\n";
}

// Spin system `line` (0-based) as its number, with the letter and colour of the residue the best
// structure matched to it, as its drawing shows it.
std::string SpinSystemMarkup(int line, const tReportStructure& best) {
  std::string html = "spin system " + std::to_string(line + 1);
  const std::vector<int>& lines = *best.SpinSystems;
  const auto at = std::find(lines.begin(), lines.end(), line);
  if (at != lines.end()) {
    html += " (" + TagMarkup(static_cast<std::size_t>(at - lines.begin())) + ")";
  }
  return html;
}

std::string AttachmentMarkup(const tAttachmentValue& value, const tReportStructure& best) {
  if (value.Phosphate) return "phosphate";
  return "(1→" + std::to_string(value.Position) + ") " + SpinSystemMarkup(value.Carrier, best);
}

std::string ShareMarkup(const tSharers& sharers) {
  return " <span class=\"share\">" + FormatProbability(sharers.Probability) + " (" +
         RankLinks(sharers.Ranks) + ")</span>";
}

// What every likely polymer shares, what they do not, and the correlations that would decide.
std::string ConsensusSections(const tConsensus& consensus, const tReportStructure& best) {
  const std::string set = RankLinks(consensus.Likely.Ranks) + " (together " +
                          FormatProbability(consensus.Likely.Probability) + ")";
  std::string html =
      "<section class=\"settled\" id=\"settled\">\n<h2>Settled</h2>\n<p class=\"note\">Shared by "
      "every polymer of the likely set: " +
      set +
      ". Spin systems are numbered as the spectrum lines of the task; the letter is the residue "
      "of the best structure matched to it.</p>\n<table class=\"settled\"><thead><tr>"
      "<th>Spin system</th><th>Residue</th><th>Attached to</th></tr></thead><tbody>";
  const std::string open_cell = "<span class=\"open-cell\">open</span>";
  std::string open;
  for (const tSpinSystemFacts& facts : consensus.SpinSystems) {
    const std::string name = SpinSystemMarkup(facts.SpinSystem, best);
    html += "<tr><td>" + name + "</td><td>" +
            (facts.ResidueSettled ? EscapeXml(facts.Residue.front().Iupac) : open_cell) +
            "</td><td>" +
            (facts.AttachmentSettled ? AttachmentMarkup(facts.Attachment.front(), best)
                                     : open_cell) +
            "</td></tr>";
    if (!facts.ResidueSettled) {
      open += "<li>" + name + ", residue:";
      for (std::size_t k = 0; k < facts.Residue.size(); ++k) {
        open += std::string(k == 0 ? " " : "; ") + EscapeXml(facts.Residue[k].Iupac) +
                ShareMarkup(facts.Residue[k].Sharers);
      }
      open += "</li>";
    }
    if (!facts.AttachmentSettled) {
      open += "<li>" + name + ", attached to:";
      for (std::size_t k = 0; k < facts.Attachment.size(); ++k) {
        open += std::string(k == 0 ? " " : "; ") + AttachmentMarkup(facts.Attachment[k], best) +
                ShareMarkup(facts.Attachment[k].Sharers);
      }
      open += "</li>";
    }
  }
  html += "</tbody></table>\n</section>\n<section class=\"open\" id=\"open\">\n<h2>Open</h2>\n";
  if (open.empty()) {
    html += "<p>Nothing: the likely polymers agree on every residue and linkage.</p>\n";
  } else {
    html += "<p class=\"note\">Each alternative with the summed probability and the ranks of the "
            "likely polymers that have it.</p>\n<ul class=\"open\">" + open + "</ul>\n";
  }
  html += "</section>\n";
  if (!consensus.Deciding.empty()) {
    html += "<section class=\"deciding\" id=\"deciding\">\n<h2>What would decide it</h2>\n"
            "<p class=\"note\">The LINK line to add to the task when the cross-peak is seen, the "
            "most even split first.</p>\n<ul class=\"deciding\">";
    for (const tDecidingLink& link : consensus.Deciding) {
      html += "<li><code>" + LinkLineText(link) + "</code> " + EscapeXml(DecidingText(link)) +
              "</li>";
    }
    html += "</ul>\n</section>\n";
  }
  return html;
}

}  // namespace

std::string SearchReportPage(const tSearchReport& report) {
  const tReportTask& task = report.Task;
  std::string options = "CORRECTION " + SignedPpm(task.Correction) + " ppm" +
                        (task.AutoCorrection ? " and AUTO" : "") + " · LIMIT " +
                        std::to_string(task.Limit) + " · WIDESPREAD " +
                        (task.WideSpread ? "on" : "off") +
                        (task.SpinSystems ? " · SPINSYSTEMS" : "");
  std::string spectrum = std::to_string(task.Spectrum.size()) + " signals";
  if (!task.Spectrum.empty()) {
    const auto [low, high] = std::minmax_element(task.Spectrum.begin(), task.Spectrum.end());
    spectrum += ", " + Ppm(*low) + " to " + Ppm(*high) + " ppm (corrected)";
  }
  const bool probabilities = HasProbabilities(report);
  std::string body = "<h1>GLYCOMB report</h1>\n<p class=\"source\">" + EscapeXml(task.TaskFile) +
                     "</p>\n";
  if (probabilities) {
    body += SummaryTable(report);
    if (const std::optional<tConsensus> consensus = FindConsensus(report)) {
      body += ConsensusSections(*consensus, report.Structures.front());
    }
  }
  body += "<section class=\"task\">\n<h2>Task</h2>\n<table class=\"facts\">\n" +
                     FactRow("Composition", "<code>" + EscapeXml(task.Composition) + "</code>") +
                     FactRow("Measured spectrum", spectrum) + FactRow("Options", options) +
                     (task.Links.empty() ? "" : FactRow("LINK lines", LinkLines(task.Links))) +
                     FactRow("Structures checked", std::to_string(task.StructuresChecked)) +
                     FactRow("Run time", RunTime(task.ElapsedSeconds)) +
                     FactRow("Structures kept", std::to_string(report.Structures.size())) +
                     FactRow("Result file", EscapeXml(task.ResultFile)) + "</table>\n</section>\n";
  if (report.Structures.empty()) {
    body += "<section><p>No structure was kept.</p></section>\n";
  }
  for (std::size_t i = 0; i < report.Structures.size(); ++i) {
    body += StructureSection(report.Structures[i], task, i == 0);
  }
  return Document("GLYCOMB report: " + task.TaskFile, body, !task.Links.empty(), probabilities);
}

std::string StructureReportPage(const tReportStructure& structure,
                                const std::string& structure_file) {
  std::string body =
      "<h1>GLYCOMB structure</h1>\n<p class=\"source\">" + EscapeXml(structure_file) +
      "</p>\n<section class=\"structure\">\n<h2>" + std::string(ShapeClassName(structure.ShapeClass)) + " (" +
      EscapeXml(structure.Shape) + ")</h2>\n" + Figure(DrawUnit(structure.Unit)) +
      Forms(structure) + Figure(DrawStickPlot(structure.Unit, {}, nullptr)) +
      CarbonTable(structure.Unit, nullptr, "Calculated shifts, ppm.") + "</section>\n";
  return Document("GLYCOMB structure: " + structure_file, body);
}

}  // namespace glycomb
