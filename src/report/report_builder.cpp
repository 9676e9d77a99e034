#include "report/report_builder.hpp"

#include <algorithm>
#include <string>
#include <utility>

#include "console/checked.hpp"
#include "console/formatting.hpp"
#include "input/structure_notation.hpp"
#include "report/iupac.hpp"

namespace glycomb {
namespace {

constexpr double kSecondsPerDay = 86400;

}  // namespace

tReportUnit DescribeUnit(const tStructure& structure, const tTopologyTable& topologies,
                         const tTask& task, const tResidueTable& residues,
                         std::vector<signal_array> node_shifts) {
  const tTopology& topology = At(topologies, structure.Topology);
  // Written place of every node, and the main chain.
  std::vector<int> place(structure.Nodes.size(), kNoResidue);
  tReportUnit unit;
  for (std::size_t written = 0; written < topology.WrittenOrder.size(); ++written) {
    const std::uint8_t node = topology.WrittenOrder[written];
    At(place, node) = static_cast<int>(written);
    if (topology.MainChain.test(node)) unit.MainChain.push_back(static_cast<int>(written));
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

namespace {

// The calculated shifts of every node, in carbon order.
std::vector<signal_array> NodeShifts(const tStructureModel& calculated) {
  std::vector<signal_array> shifts(calculated.WorkingStructure.Nodes.size());
  for (std::size_t j = 0; j < shifts.size(); ++j) {
    const auto first = calculated.CalculatedSpectrum.begin() + At(calculated.CarbonOffsets, j);
    const auto end = calculated.CalculatedSpectrum.begin() + At(calculated.CarbonOffsets, j + 1);
    shifts[j].assign(first, end);
  }
  return shifts;
}

}  // namespace

tReportStructure DescribeStructure(const tStructureModel& calculated, const tReportTables& tables) {
  const tStructure& structure = calculated.WorkingStructure;
  tReportStructure entry;
  StructureToText(structure, tables.Topologies, tables.Task, tables.Residues, entry.Shape,
                  entry.Notation);
  entry.ShapeClass = At(tables.Topologies, structure.Topology).Shape;
  entry.Unit = DescribeUnit(structure, tables.Topologies, tables.Task, tables.Residues,
                            NodeShifts(calculated));
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

}  // namespace

void MarkLinkedBonds(tReportUnit& unit, const std::vector<int>& spin_systems,
                     const std::vector<tLink>& links) {
  for (std::size_t carrier = 0; carrier < unit.Residues.size(); ++carrier) {
    const tReportResidue& residue = unit.Residues[carrier];
    // A residue carried by a phosphate is attached to no spin system.
    if (residue.Phosphate) continue;
    const std::pair<int, std::uint8_t> bonds[] = {{residue.ChainChild, residue.ChainPosition},
                                                  {residue.BranchChild, residue.BranchPosition}};
    for (const auto& [child, position] : bonds) {
      if (child == kNoResidue || child == static_cast<int>(carrier)) continue;
      const auto at = static_cast<std::size_t>(child);
      for (std::size_t k = 0; k < links.size(); ++k) {
        const tLink& link = links[k];
        if (At(spin_systems, at) + 1 == link.From && At(spin_systems, carrier) + 1 == link.To &&
            (link.Position == 0 || link.Position == position)) {
          At(unit.Residues, at).Link = static_cast<int>(k);
        }
      }
    }
  }
}

tSearchReport BuildSearchReport(const tReportTables& tables, const tBestStructures& best,
                                const std::vector<tStructureModel>& calculated,
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
  task.Links = tables.Task.Links;
  task.StructuresChecked = structures_checked;
  task.ElapsedSeconds = elapsed_days * kSecondsPerDay;
  if (carbon_count == 0) CheckFailed("range check error: composition without carbons");
  for (std::size_t i = 0; i < best.BestCount(); ++i) {
    const tResultRecord& record = best.Entry(i);
    tReportStructure entry = DescribeStructure(At(calculated, i), tables);
    entry.Rank = i + 1;
    entry.Deviation = record.Deviation;
    entry.MeanDeviation =
        FormatRoundedTwoDecimals(record.Deviation, CheckedMul<std::int64_t>(carbon_count, 10), 4);
    if (task.AutoCorrection) entry.Offset = record.Offset;
    if (task.SpinSystems || task.AutoCorrection) {
      const std::vector<std::uint8_t>& node_of =
          At(tables.Topologies, record.Structure.Topology).WrittenOrder;
      entry.MatchedShifts = MatchedShifts(entry, record, tables.Task, node_of);
      if (task.SpinSystems) {
        std::vector<int> lines;
        for (const std::uint8_t node : node_of) lines.push_back(At(record.LineOfNode, node) - 1);
        MarkLinkedBonds(entry.Unit, lines, task.Links);
        entry.SpinSystems = std::move(lines);
      }
    }
    report.Structures.push_back(std::move(entry));
  }
  return report;
}

}  // namespace glycomb
