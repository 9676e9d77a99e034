#include "report/report_builder.hpp"

#include <algorithm>
#include <string>

#include "console/checked.hpp"
#include "console/formatting.hpp"
#include "input/structure_notation.hpp"
#include "report/iupac.hpp"
#include "spectrum/spectrum_calculation.hpp"

namespace glycomb {
namespace {

constexpr double kSecondsPerDay = 86400;

bool IsNodeToken(const std::string& text, std::size_t at) {
  return text[at] == 'x' && at + 1 < text.size() && text[at + 1] >= '0' && text[at + 1] <= '9';
}

}  // namespace

tReportUnit DescribeUnit(const tStructure& structure, const tTopologyTable& topologies,
                         const tTask& task, const tResidueTable& residues,
                         std::vector<signal_array> node_shifts) {
  const tTopology& topology = At(topologies, structure.Topology);
  const std::string& text = topology.Template;
  // Written place of every node, and the main chain: the tokens outside all brackets.
  std::vector<int> place(structure.Nodes.size(), kNoResidue);
  tReportUnit unit;
  int depth = 0, written = 0;
  for (std::size_t at = 0; at < text.size(); ++at) {
    if (text[at] == '[') ++depth;
    if (text[at] == ']') --depth;
    if (!IsNodeToken(text, at)) continue;
    At(place, static_cast<std::size_t>(text[at + 1] - '0')) = written;
    if (depth == 0) unit.MainChain.push_back(written);
    ++written;
  }
  unit.Residues.resize(structure.Nodes.size());
  const auto written_place = [&](std::uint8_t node) {
    return node == kNoChild ? kNoResidue : At(place, node);
  };
  for (std::size_t j = 0; j < structure.Nodes.size(); ++j) {
    const tStructureNode& node = structure.Nodes[j];
    const std::uint8_t name_index = At(task.Residues, node.Residue).NameIndex;
    const tNameRecord& record = At(residues, name_index);
    tReportResidue& residue = At(unit.Residues, static_cast<std::size_t>(At(place, j)));
    residue.Name = record.Name;
    residue.Phosphate = name_index == 0;
    residue.RingKind = record.RingKind;
    const bool anomeric =
        !residue.Phosphate && (record.RingKind == kPyranose || record.RingKind == kFuranose);
    residue.Anomeric = anomeric ? node.Anomeric : kAnomericNone;
    residue.Absolute = node.Absolute;
    residue.NLinked = record.NLinked != 0;
    const tTopologyNode& links = At(topology.Nodes, j);
    residue.ChainChild = written_place(links.FirstChild);
    residue.ChainPosition = node.Subst1;
    residue.BranchChild = written_place(links.SecondChild);
    residue.BranchPosition = node.Subst2;
    if (!node_shifts.empty()) residue.Calculated = std::move(At(node_shifts, j));
  }
  return unit;
}

std::vector<signal_array> CalculateNodeShifts(const tStructure& structure,
                                              const tReportTables& tables) {
  tTask task = tables.Task;
  task.CalcMode = 1;
  tStructureModel model;
  model.WorkingStructure = structure;
  BuildCarbonOffsets(model, task, tables.Residues);
  SizeSpectrumArrays(model, task, tables.Residues);
  tSpectrumCalculator calculator(task, tables.Residues, tables.Topologies, tables.Shifts, model);
  calculator.CalculateSpectrum();
  std::vector<signal_array> shifts(structure.Nodes.size());
  for (std::size_t j = 0; j < shifts.size(); ++j) {
    const auto first = model.CalculatedSpectrum.begin() + At(model.CarbonOffsets, j);
    const auto end = model.CalculatedSpectrum.begin() + At(model.CarbonOffsets, j + 1);
    shifts[j].assign(first, end);
  }
  return shifts;
}

tReportStructure DescribeStructure(const tStructure& structure, const tReportTables& tables) {
  tReportStructure entry;
  StructureToText(structure, tables.Topologies, tables.Task, tables.Residues, entry.Shape,
                  entry.Notation);
  entry.ShapeClass = At(tables.Topologies, structure.Topology).Shape;
  entry.Unit = DescribeUnit(structure, tables.Topologies, tables.Task, tables.Residues,
                            CalculateNodeShifts(structure, tables));
  entry.Iupac = IupacRepeatingUnit(entry.Unit);
  return entry;
}

namespace {

// The measured shift paired with each calculated one, residue by residue in written order: the
// matched spin-system line, or with the automatic offset alone the sorted measured spectrum by
// rank; the offset added to both.
std::vector<signal_array> MatchedShifts(const tReportStructure& entry, const tResultRecord& record,
                                        const tTask& task, const std::vector<std::uint8_t>& node_of) {
  const std::vector<tReportResidue>& residues = entry.Unit.Residues;
  std::vector<signal_array> matched(residues.size());
  if (task.SpinSystems != 0) {
    for (std::size_t r = 0; r < residues.size(); ++r) {
      const std::uint8_t line = At(record.LineOfNode, At(node_of, r));
      if (line == 0) continue;
      for (const std::int32_t shift : At(task.SpinLines, line - 1u)) {
        matched[r].push_back(shift + record.Offset);
      }
    }
    return matched;
  }
  struct tCarbon {
    std::int32_t Value;
    std::size_t Residue, Carbon;
  };
  std::vector<tCarbon> carbons;
  for (std::size_t r = 0; r < residues.size(); ++r) {
    matched[r].resize(residues[r].Calculated.size());
    for (std::size_t k = 0; k < residues[r].Calculated.size(); ++k) {
      carbons.push_back({residues[r].Calculated[k], r, k});
    }
  }
  std::stable_sort(carbons.begin(), carbons.end(),
                   [](const tCarbon& a, const tCarbon& b) { return a.Value < b.Value; });
  for (std::size_t rank = 0; rank < carbons.size() && rank < task.Spectrum.size(); ++rank) {
    matched[carbons[rank].Residue][carbons[rank].Carbon] = task.Spectrum[rank] + record.Offset;
  }
  return matched;
}

// The node of each residue in written order.
std::vector<std::uint8_t> WrittenNodes(const std::string& pattern) {
  std::vector<std::uint8_t> nodes;
  for (std::size_t at = 0; at < pattern.size(); ++at) {
    if (IsNodeToken(pattern, at)) nodes.push_back(static_cast<std::uint8_t>(pattern[at + 1] - '0'));
  }
  return nodes;
}

}  // namespace

tSearchReport BuildSearchReport(const tReportTables& tables, const tBestStructures& best,
                                std::uint16_t carbon_count, std::int64_t structures_checked,
                                double elapsed_days) {
  tSearchReport report;
  tReportTask& task = report.Task;
  task.ResultFile = tables.Task.ResultFileName;
  task.Composition = tables.Task.CompositionText;
  task.Spectrum = tables.Task.Spectrum;
  task.Correction = tables.Task.Correction;
  task.Limit = tables.Task.Limit;
  task.WideSpread = tables.Task.WideSpread != 0;
  task.SpinSystems = tables.Task.SpinSystems != 0;
  task.AutoCorrection = tables.Task.AutoCorrection != 0;
  task.StructuresChecked = structures_checked;
  task.ElapsedSeconds = elapsed_days * kSecondsPerDay;
  if (carbon_count == 0) CheckFailed("range check error: composition without carbons");
  for (std::size_t i = 0; i < best.BestCount(); ++i) {
    const tResultRecord& record = best.Entry(i);
    tReportStructure entry = DescribeStructure(record.Structure, tables);
    entry.Rank = i + 1;
    entry.Deviation = record.Deviation;
    entry.MeanDeviation =
        FormatRoundedTwoDecimals(record.Deviation, CheckedMul<std::int64_t>(carbon_count, 10), 4);
    if (task.AutoCorrection) entry.Offset = record.Offset;
    if (task.SpinSystems || task.AutoCorrection) {
      const std::vector<std::uint8_t> node_of =
          WrittenNodes(At(tables.Topologies, record.Structure.Topology).Template);
      entry.MatchedShifts = MatchedShifts(entry, record, tables.Task, node_of);
      if (task.SpinSystems) {
        std::vector<int> lines;
        for (const std::uint8_t node : node_of) lines.push_back(At(record.LineOfNode, node) - 1);
        entry.SpinSystems = lines;
      }
    }
    report.Structures.push_back(std::move(entry));
  }
  return report;
}

}  // namespace glycomb
