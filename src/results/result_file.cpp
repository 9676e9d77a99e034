#include "results/result_file.hpp"

#include <sys/stat.h>

#include <optional>
#include <vector>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "console/text_file.hpp"
#include "input/structure_notation.hpp"
#include "spectrum/assignment_table.hpp"

namespace glycomb {
namespace {

constexpr int kSeparatorDashes = 30;
// The most files that are tried beside the result file when the overwrite question cannot be
// answered.
constexpr int kMaxFileNumber = 999;

// The entry line of the structure at 0-based `index` of the sorted table.
std::string ResultEntryLine(std::size_t index, const std::string& structure_text,
                            const std::string& shape, std::uint32_t deviation,
                            std::size_t carbon_count) {
  if (carbon_count == 0) CheckFailed("range check error: composition without carbons");
  const std::size_t rank = index + 1;
  const std::string mean = FormatRoundedTwoDecimals(
      deviation, CheckedMul<std::int64_t>(carbon_count, 10), 4);
  return (rank <= 9 ? " " : "") + std::to_string(rank) + ": " + structure_text + "\t(" + shape +
         ")\t Dev.: " + mean;
}

// A signed offset in ppm: "+0.3", "-1.2", "0.0".
std::string SignedTenths(std::int32_t tenths) {
  return (tenths > 0 ? "+" : "") + FormatTenths(tenths);
}

// What an entry line adds about how the structure was scored.
std::string ScoringTail(const tResultRecord& entry, const tTask& task,
                        const tTopologyTable& topologies) {
  std::string tail;
  if (task.AutoCorrection != 0) tail += "\t Offset: " + SignedTenths(entry.Offset);
  if (task.SpinSystems != 0) {
    tail += "\t Spin systems:";
    for (const std::uint8_t node : At(topologies, entry.Structure.Topology).WrittenOrder) {
      const std::uint8_t line = At(entry.LineOfNode, node);
      tail += line == 0 ? std::string(" -") : " " + std::to_string(line);
    }
  }
  return tail;
}

std::string PadRight(std::string text, std::size_t width) {
  if (text.size() < width) text.append(width - text.size(), ' ');
  return text;
}

// The composition with the configurations that `structure` gives its residues, as /CALC labels
// them.
tTask LabelsOf(const tStructure& structure, const tTask& task, const tResidueTable& residues) {
  tTask labels = task;
  for (const tStructureNode& node : structure.Nodes) {
    tTaskResidue& entry = At(labels.Residues, node.Residue);
    const tNameRecord& record = At(residues, entry.NameIndex);
    const bool anomeric_forms = entry.NameIndex != 0 && record.RingKind < kAlditol;
    entry.Anomeric = anomeric_forms ? node.Anomeric : kAnomericNone;
    entry.Absolute = node.Absolute;
  }
  return labels;
}

// The best structure carbon by carbon: its calculated shifts in the /CALC layout, and under each
// residue the spin system it was matched to (with the offset added) and the difference.
template <class tLine>
void WriteCarbonTable(const tLine& line, const tResultRecord& entry, const tTask& task,
                      const tResidueTable& residues, const tStructureModel& calculated) {
  constexpr std::size_t kLabelWidth = 15;
  constexpr std::size_t kShiftWidth = 6;
  const auto cell = [&](std::int32_t tenths) {
    const std::string text = FormatTenths(tenths);
    return std::string(text.size() < kShiftWidth ? kShiftWidth - text.size() : 0, ' ') + text;
  };
  const tAssignmentTable table =
      BuildAssignmentTable(calculated, LabelsOf(calculated.WorkingStructure, task, residues), residues);
  line("");
  line("The best structure carbon by carbon: calculated, measured (spin system, offset "
       "added) and their difference:");
  line("");
  std::string header;
  for (const std::string& text : table.at(0)) header += text;
  line(header);
  for (std::size_t node = 0; node + 1 < table.size(); ++node) {
    std::string row;
    for (const std::string& text : table[node + 1]) row += text;
    line(row);
    const std::uint8_t matched = At(entry.LineOfNode, node);
    if (matched == 0) continue;
    const signal_array& measured = At(task.SpinLines, matched - 1u);
    std::string values = PadRight("   line " + std::to_string(matched), kLabelWidth);
    std::string differences = PadRight("   difference", kLabelWidth);
    const std::size_t first = At(calculated.CarbonOffsets, node);
    for (std::size_t k = 0; k < measured.size(); ++k) {
      const std::int32_t reference = measured[k] + entry.Offset;
      values += cell(reference);
      differences += cell(At(calculated.CalculatedSpectrum, first + k) - reference);
    }
    line(values);
    line(differences);
  }
}

// The report, every line ended by CR LF.
std::string ReportText(const tBestStructures& best, const tTopologyTable& topologies,
                       const tTask& task, const tResidueTable& residues,
                       std::size_t carbon_count, const tStructureModel* best_calculated,
                       const tProbabilities* probabilities) {
  std::string report;
  const auto line = [&report](const std::string& text) { report += text + "\r\n"; };
  line("The monomeric composition and constraints are:");
  line(task.CompositionText);
  if (task.SpinSystems != 0) {
    line("Scored residue by residue against " + std::to_string(task.SpinLines.size()) +
         " spin systems (the spectrum lines, numbered in the order of the task)");
  }
  if (task.AutoCorrection != 0) {
    line("Measured shifts referenced for each structure by the offset in " +
         SignedTenths(-kMaxAutoOffset) + ".." + SignedTenths(kMaxAutoOffset) +
         " ppm that fits it best");
  }
  for (const tLink& link : task.Links) line("Given: " + link.Text);
  line("");
  const std::uint8_t count = best.BestCount();
  line("Here " +
       (count == 1 ? std::string("is 1 structure") : "are " + std::to_string(count) + " structures") +
       " that match the spectrum the best:");
  line("");
  for (std::uint8_t shape_class = kShapeLinear; shape_class <= kShapeRare; ++shape_class) {
    line(std::string(ShapeClassHeading(shape_class)));
    bool any = false;
    for (std::size_t i = 0; i < count; ++i) {
      const tResultRecord& entry = best.Entry(i);
      if (At(topologies, entry.Structure.Topology).Shape != shape_class) continue;
      std::string shape, text;
      StructureToText(entry.Structure, topologies, task, residues, shape, text);
      line(ResultEntryLine(i, text, shape, entry.Deviation, carbon_count) +
           ScoringTail(entry, task, topologies) +
           (probabilities != nullptr
                ? "\t Probability: " + FormatProbability(At(probabilities->Structures, i))
                : std::string()));
      any = true;
    }
    if (!any) line(shape_class == kShapeRare && task.WideSpread != 0 ? "skipped" : "absent");
  }
  if (probabilities != nullptr) {
    line("");
    line("Probability that the structure is none of these: at most " +
         FormatUpperBound(probabilities->Outside));
  }
  if (best_calculated != nullptr && count > 0 && task.SpinSystems != 0) {
    WriteCarbonTable(line, best.Entry(0), task, residues, *best_calculated);
  }
  return report;
}

// Whether a file of the name `path`, in any letter case, or a link of that name exists.
bool NameTaken(const std::string& path) {
  struct stat link;
  return FileExists(FindFileNoCase(path)) || ::lstat(path.c_str(), &link) == 0;
}

// The first free name "<NAME>-<n><extension>" beside `file_name`.
std::string FreeNameBeside(const std::string& file_name) {
  const std::size_t slash = file_name.rfind('/');
  std::size_t dot = file_name.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) {
    dot = file_name.size();
  }
  for (int n = 1; n <= kMaxFileNumber; ++n) {
    const std::string name =
        file_name.substr(0, dot) + "-" + std::to_string(n) + file_name.substr(dot);
    if (!NameTaken(name)) return name;
  }
  FatalError("Could not find a free name for the result beside " + file_name);
}

enum class tWriteMode { kReplace, kAppend };

}  // namespace

std::optional<std::string> WriteResultFile(const std::string& file_name,
                                           const tBestStructures& best,
                                           const tTopologyTable& topologies, const tTask& task,
                                           const tResidueTable& residues,
                                           std::size_t carbon_count, const tStopToken& stop,
                                           const tStructureModel* best_calculated,
                                           const tProbabilities* probabilities) {
  try {
    const std::string report =
        ReportText(best, topologies, task, residues, carbon_count, best_calculated, probabilities);
    std::string target = file_name;
    for (;;) {
      tWriteMode mode = tWriteMode::kReplace;
      if (FileExists(target)) {
        const auto overwrite =
            AskKeyIfAnswerable("The file " + target + " already exists. Overwrite or append (O/A)?",
                               {kScanO}, {kScanA});
        if (stop.StopRequested()) return std::nullopt;
        if (overwrite) {
          mode = *overwrite ? tWriteMode::kReplace : tWriteMode::kAppend;
        } else {
          const std::string beside = FreeNameBeside(target);
          ShowWarning("The question could not be answered; " + target +
                      " is left as it is and the result goes to " + beside);
          target = beside;
        }
      }
      // Writing again after a write error repeats the whole report: a replaced file keeps its old
      // contents and an append is taken back until the report is complete.
      for (;;) {
        bool text_left = false;
        const auto error =
            mode == tWriteMode::kAppend
                ? AppendToFile(target, "\r\n" + std::string(kSeparatorDashes, '-') + "\r\n" + report,
                               text_left)
                : ReplaceFile(target, report);
        if (!error) return target;
        if (text_left) ShowWarning("An incomplete report remains at the end of " + target);
        const std::string message = WriteErrorText(*error, target);
        if (error->Step == tWriteError::kClose) FatalError(message);
        if (!AskRetryAbort(message)) return std::nullopt;
        if (error->Step == tWriteError::kOpen) break;  // opening again asks the question again
      }
    }
  } catch (const EErrorStop&) {
    return std::nullopt;
  }
}

}  // namespace glycomb
