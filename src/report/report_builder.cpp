#include "report/report_builder.hpp"

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

tSearchReport BuildSearchReport(const tReportTables& tables, const tBestStructures& best,
                                std::uint16_t carbon_count, std::int32_t structures_checked,
                                double elapsed_days) {
  tSearchReport report;
  tReportTask& task = report.Task;
  task.ResultFile = tables.Task.ResultFileName;
  task.Composition = tables.Task.CompositionText;
  task.Spectrum = tables.Task.Spectrum;
  task.Correction = tables.Task.Correction;
  task.Limit = tables.Task.Limit;
  task.WideSpread = tables.Task.WideSpread != 0;
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
    report.Structures.push_back(std::move(entry));
  }
  return report;
}

}  // namespace glycomb
