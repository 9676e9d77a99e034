#include "report/report.hpp"

#include <iostream>
#include <optional>

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

// Writes `text` to `file_name` as it is (the report files keep the line ends their libraries
// write), replacing the file safely. A failure is asked as Retry or Abort; retry writes the whole
// file again, abort gives it up.
bool WriteReportFile(const std::string& file_name, const std::string& text) {
  try {
    for (;;) {
      const std::optional<tWriteError> error = ReplaceFile(file_name, text);
      if (!error) return true;
      if (!AskRetryAbort(WriteErrorText(*error, file_name))) return false;
    }
  } catch (const EErrorStop&) {
    return false;
  }
}

void WriteAndTell(const std::string& file_name, const std::string& text, const char* what) {
  if (WriteReportFile(file_name, text)) {
    std::cout << "The " << what << " written into " << file_name << '\n' << std::flush;
  }
}

}  // namespace

void WriteSearchReport(const std::string& task_argument, tSearchReport report) {
  report.Task.TaskFile = ForceExtension(task_argument, kTaskExtension);
  WriteAndTell(OutputFileName(task_argument, kPageExtension), SearchReportPage(report),
               "report was");
  WriteAndTell(OutputFileName(task_argument, kDataExtension), SearchReportJson(report),
               "report data were");
}

void WriteStructureReport(const std::string& structure_argument, const tStructureModel& calculated,
                          const tReportTables& tables) {
  const tReportStructure entry = DescribeStructure(calculated, tables);
  WriteAndTell(OutputFileName(structure_argument, kPageExtension),
               StructureReportPage(entry, ForceExtension(structure_argument, kStructureExtension)),
               "report was");
}

}  // namespace glycomb
