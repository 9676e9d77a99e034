#include "results/result_file.hpp"

#include <optional>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "console/text_file.hpp"
#include "input/structure_notation.hpp"
#include "spectrum/assignment_table.hpp"

namespace glycomb {
namespace {

constexpr int kSeparatorDashes = 30;

// Writes lines, asking Retry or Abort on a write error; abort drops only that line.
class tLineWriter {
 public:
  tLineWriter(OutputTextFile& file, const std::string& file_name)
      : file_(file), file_name_(file_name) {}

  void Line(const std::string& text) {
    for (;;) {
      const auto error = file_.WriteLine(text);
      if (!error) return;
      if (!AskRetryAbort("Could not write to " + file_name_ + ": " + IoErrorText(*error))) return;
    }
  }

 private:
  OutputTextFile& file_;
  const std::string& file_name_;
};

// Opens the file as the user wants it; false when the user aborts or a stop request arrives.
bool OpenResultFile(OutputTextFile& file, const std::string& file_name) {
  for (;;) {
    std::optional<tIoError> error;
    bool appending = false;
    if (FileExists(file_name)) {
      const bool overwrite =
          AskKey("The file " + file_name + " already exists. Overwrite or append (O/A)?",
                 {kScanO}, {kScanA});
      if (!RunFlag.load()) return false;
      appending = !overwrite;
      error = overwrite ? file.Create(file_name) : file.Append(file_name);
    } else {
      error = file.Create(file_name);
    }
    if (!error) {
      if (appending) {
        tLineWriter(file, file_name).Line("\r\n" + std::string(kSeparatorDashes, '-'));
      }
      return true;
    }
    if (!AskRetryAbort("Could not open " + file_name + " for writing: " + IoErrorText(*error))) {
      return false;
    }
  }
}

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

// The nodes of a topology in the order their residues are written.
std::vector<std::uint8_t> WrittenNodeOrder(const std::string& pattern) {
  std::vector<std::uint8_t> order;
  for (std::size_t i = 0; i + 1 < pattern.size(); ++i) {
    if (pattern[i] == 'x') order.push_back(static_cast<std::uint8_t>(pattern[i + 1] - '0'));
  }
  return order;
}

// What an entry line adds about how the structure was scored.
std::string ScoringTail(const tResultRecord& entry, const tTask& task,
                        const tTopologyTable& topologies) {
  std::string tail;
  if (task.AutoCorrection != 0) tail += "\t Offset: " + SignedTenths(entry.Offset);
  if (task.SpinSystems != 0) {
    tail += "\t Spin systems:";
    for (const std::uint8_t node :
         WrittenNodeOrder(At(topologies, entry.Structure.Topology).Template)) {
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

// The best structure carbon by carbon: its calculated shifts in the /CALC layout, and under each
// residue the spin system it was matched to (with the offset added) and the difference.
void WriteCarbonTable(tLineWriter& writer, const tResultRecord& entry, const tTask& task,
                      const tResidueTable& residues, const tBestCarbons& carbons) {
  constexpr std::size_t kLabelWidth = 15;
  constexpr std::size_t kShiftWidth = 6;
  const auto cell = [&](std::int32_t tenths) {
    const std::string text = FormatTenths(tenths);
    return std::string(text.size() < kShiftWidth ? kShiftWidth - text.size() : 0, ' ') + text;
  };
  const tAssignmentTable table = BuildAssignmentTable(carbons.Model, carbons.Labels, residues);
  writer.Line("");
  writer.Line("The best structure carbon by carbon: calculated, measured (spin system, offset "
              "added) and their difference:");
  writer.Line("");
  std::string header;
  for (const std::string& text : table.at(0)) header += text;
  writer.Line(header);
  for (std::size_t node = 0; node + 1 < table.size(); ++node) {
    std::string calculated;
    for (const std::string& text : table[node + 1]) calculated += text;
    writer.Line(calculated);
    const std::uint8_t line = At(entry.LineOfNode, node);
    if (line == 0) continue;
    const signal_array& measured = At(task.SpinLines, line - 1u);
    std::string values = PadRight("   line " + std::to_string(line), kLabelWidth);
    std::string differences = PadRight("   difference", kLabelWidth);
    const std::size_t first = At(carbons.Model.CarbonOffsets, node);
    for (std::size_t k = 0; k < measured.size(); ++k) {
      const std::int32_t reference = measured[k] + entry.Offset;
      values += cell(reference);
      differences += cell(At(carbons.Model.CalculatedSpectrum, first + k) - reference);
    }
    writer.Line(values);
    writer.Line(differences);
  }
}

}  // namespace

bool WriteResultFile(const std::string& file_name, tBestStructures& best,
                     const tTopologyTable& topologies, const tTask& task,
                     const tResidueTable& residues, std::size_t carbon_count,
                     const tBestCarbons* best_carbons) {
  try {
    best.SortByDeviation();
    OutputTextFile file;
    if (!OpenResultFile(file, file_name)) return false;
    tLineWriter writer(file, file_name);
    writer.Line("The monomeric composition and constraints are:");
    writer.Line(task.CompositionText);
    if (task.SpinSystems != 0) {
      writer.Line("Scored residue by residue against " + std::to_string(task.SpinLines.size()) +
                  " spin systems (the spectrum lines, numbered in the order of the task)");
    }
    if (task.AutoCorrection != 0) {
      writer.Line("Measured shifts referenced for each structure by the offset in " +
                  SignedTenths(-kMaxAutoOffset) + ".." + SignedTenths(kMaxAutoOffset) +
                  " ppm that fits it best");
    }
    writer.Line("");
    const std::uint8_t count = best.BestCount();
    writer.Line("Here " +
                (count == 1 ? std::string("is 1 structure")
                            : "are " + std::to_string(count) + " structures") +
                " that match the spectrum the best:");
    writer.Line("");
    static constexpr const char* kSections[] = {"Linear:", "Widespread branched:",
                                                "Rarely-ocurring branched:"};
    for (std::uint8_t shape_class = kShapeLinear; shape_class <= kShapeRare; ++shape_class) {
      writer.Line(kSections[shape_class]);
      bool any = false;
      for (std::size_t i = 0; i < count; ++i) {
        const tResultRecord& entry = best.Entry(i);
        if (At(topologies, entry.Structure.Topology).Shape != shape_class) continue;
        std::string shape, text;
        StructureToText(entry.Structure, topologies, task, residues, shape, text);
        writer.Line(ResultEntryLine(i, text, shape, entry.Deviation, carbon_count) +
                    ScoringTail(entry, task, topologies));
        any = true;
      }
      if (!any) writer.Line(shape_class == kShapeRare && task.WideSpread != 0 ? "skipped" : "absent");
    }
    if (best_carbons != nullptr && count > 0 && task.SpinSystems != 0) {
      WriteCarbonTable(writer, best.Entry(0), task, residues, *best_carbons);
    }
    if (const auto error = file.Close()) {
      FatalError("Could not close " + file_name + ": " + IoErrorText(*error));
    }
  } catch (const EErrorStop&) {
    return false;
  }
  return true;
}

}  // namespace glycomb
