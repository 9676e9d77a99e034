#include "report/report.hpp"

#include <iostream>

#include "console/console.hpp"
#include "console/text_file.hpp"
#include "input/file_names.hpp"
#include "report/html_report.hpp"
#include "report/json_report.hpp"

namespace glycomb {
namespace {

constexpr char kPageExtension[] = ".HTML";
constexpr char kDataExtension[] = ".JSON";
constexpr char kTaskExtension[] = ".TSK";
constexpr char kStructureExtension[] = ".STR";
constexpr double kSecondsPerDay = 86400;

// Writes `text` to `file_name`, replacing the file. Failures are asked as Retry or Abort; abort
// leaves the file unfinished and returns false, as does a failure to close it (a warning).
bool WriteReportFile(const std::string& file_name, const std::string& text) {
  try {
    OutputTextFile file;
    for (;;) {
      const auto error = file.Create(file_name);
      if (!error) break;
      if (!AskRetryAbort("Could not open " + file_name + " for writing: " + IoErrorText(*error))) {
        return false;
      }
    }
    std::size_t start = 0;
    while (start < text.size()) {
      std::size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      const std::string line = text.substr(start, end - start);
      for (;;) {
        const auto error = file.WriteLine(line);
        if (!error) break;
        if (!AskRetryAbort("Could not write to " + file_name + ": " + IoErrorText(*error))) {
          return false;
        }
      }
      start = end + 1;
    }
    if (const auto error = file.Close()) {
      ShowWarning("Could not close " + file_name + ": " + IoErrorText(*error));
      return false;
    }
  } catch (const EErrorStop&) {
    return false;
  }
  return true;
}

void WriteAndTell(const std::string& file_name, const std::string& text, const char* what) {
  if (WriteReportFile(file_name, text)) {
    std::cout << "The " << what << " written into " << file_name << '\n' << std::flush;
  }
}

}  // namespace

void WriteSearchReport(const std::string& task_argument, const tReportTables& tables,
                       const tBestStructures& best, std::uint16_t carbon_count,
                       std::int32_t structures_checked, double elapsed_days) {
  tSearchReport report = BuildSearchReport(tables, best, carbon_count, structures_checked,
                                           elapsed_days * kSecondsPerDay);
  report.Task.TaskFile = ForceExtension(task_argument, kTaskExtension);
  WriteAndTell(OutputFileName(task_argument, kPageExtension), SearchReportPage(report),
               "report was");
  WriteAndTell(OutputFileName(task_argument, kDataExtension), SearchReportJson(report),
               "report data were");
}

void WriteStructureReport(const std::string& structure_argument, const tStructure& structure,
                          const tReportTables& tables) {
  const tReportStructure entry = DescribeStructure(structure, tables);
  WriteAndTell(OutputFileName(structure_argument, kPageExtension),
               StructureReportPage(entry, ForceExtension(structure_argument, kStructureExtension)),
               "report was");
}

}  // namespace glycomb
