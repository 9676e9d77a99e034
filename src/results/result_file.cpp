#include "results/result_file.hpp"

#include <optional>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"
#include "console/text_file.hpp"
#include "input/structure_notation.hpp"

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
                            const std::string& shape, std::uint16_t deviation,
                            std::size_t carbon_count) {
  if (carbon_count == 0) CheckFailed("range check error: composition without carbons");
  const std::size_t rank = index + 1;
  const std::string mean = FormatRoundedTwoDecimals(
      deviation, CheckedMul<std::int64_t>(carbon_count, 10), 4);
  return (rank <= 9 ? " " : "") + std::to_string(rank) + ": " + structure_text + "\t(" + shape +
         ")\t Dev.: " + mean;
}

}  // namespace

bool WriteResultFile(const std::string& file_name, tBestStructures& best,
                     const tTopologyTable& topologies, const tTask& task,
                     const tResidueTable& residues, std::size_t carbon_count) {
  try {
    best.SortByDeviation();
    OutputTextFile file;
    if (!OpenResultFile(file, file_name)) return false;
    tLineWriter writer(file, file_name);
    writer.Line("The monomeric composition and constraints are:");
    writer.Line(task.CompositionText);
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
        writer.Line(ResultEntryLine(i, text, shape, entry.Deviation, carbon_count));
        any = true;
      }
      if (!any) writer.Line(shape_class == kShapeRare && task.WideSpread != 0 ? "skipped" : "absent");
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
