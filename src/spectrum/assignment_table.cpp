#include "spectrum/assignment_table.hpp"

#include "console/formatting.hpp"

#include <algorithm>
#include <cstdlib>
#include <new>

#include "console/checked.hpp"
#include "console/console.hpp"

namespace glycomb {
namespace {

constexpr std::size_t kLabelWidth = 15;
constexpr std::size_t kShiftWidth = 6;

std::string PadLeft(const std::string& text, std::size_t width) {
  return text.size() >= width ? text : std::string(width - text.size(), ' ') + text;
}

std::string ResidueLabel(const tStructureNode& node, const tTaskResidue& entry,
                         const tNameRecord& record) {
  const bool phosphate = entry.NameIndex == 0;
  std::string label;
  if (node.Subst2 == 0) label += "  ";
  if (node.Subst1 == 0 || phosphate) label += "  ";
  label += node.Subst1 != 0 && node.Subst2 != 0 ? "=" : node.Subst1 != 0 ? "-" : " ";
  if (node.Subst2 != 0) label += std::to_string(node.Subst2) + "]";
  if (node.Subst1 != 0 && !phosphate) label += std::to_string(node.Subst1) + ")";
  if (phosphate) {
    label += "P-";
  } else {
    switch (entry.Anomeric) {
      case kAnomericAlpha: label += "a-"; break;
      case kAnomericBeta: label += "b-"; break;
      case kAnomericNone: break;
      default: FatalError("Internal error WA1: indefinite anomeric configuration");
    }
    switch (entry.Absolute) {
      case kAbsoluteD: label += "D-"; break;
      case kAbsoluteL: label += "L-"; break;
      default: FatalError("Internal error WA2: indefinite absolute configuration");
    }
    label += record.Name + "-";
  }
  if (label.size() < kLabelWidth) label.append(kLabelWidth - label.size(), ' ');
  return label;
}

}  // namespace

tAssignmentTable BuildAssignmentTable(const tStructureModel& model, const tTask& task,
                                      const tResidueTable& residues) {
  const std::vector<tStructureNode>& nodes = model.WorkingStructure.Nodes;
  tAssignmentTable table;
  try {
    table.resize(nodes.size() + 1);
    std::size_t max_carbons = 0;
    for (std::size_t r = 1; r <= nodes.size(); ++r) {
      const tStructureNode& node = nodes[r - 1];
      const tTaskResidue& entry = At(task.Residues, node.Residue);
      const tNameRecord& record = At(residues, entry.NameIndex);
      const std::size_t carbons = record.CarbonCount;
      max_carbons = std::max(max_carbons, carbons);
      std::vector<std::string>& row = table[r];
      row.reserve(carbons + 1);
      row.push_back(ResidueLabel(node, entry, record));
      for (std::size_t k = 1; k <= carbons; ++k) {
        const std::size_t carbon = At(model.CarbonOffsets, r - 1) + k - 1;
        row.push_back(PadLeft(FormatTenths(At(model.CalculatedSpectrum, carbon)), kShiftWidth));
      }
    }
    std::vector<std::string>& header = table[0];
    header.push_back("   <residue>   ");
    for (std::size_t k = 1; k <= max_carbons; ++k) {
      header.push_back("   C" + std::to_string(k) + " ");
    }
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory composing the spectrum assignment");
  }
  return table;
}

}  // namespace glycomb
