#include "databases/data_file.hpp"

#include <sys/stat.h>

#include <cerrno>
#include <new>

#include "console/console.hpp"

namespace glycomb {

std::string Trim(const std::string& text) {
  std::size_t first = 0;
  std::size_t last = text.size();
  while (first < last && static_cast<unsigned char>(text[first]) <= 32) ++first;
  while (last > first && static_cast<unsigned char>(text[last - 1]) <= 32) --last;
  return text.substr(first, last - first);
}

bool OpenDataFile(tDataFile& file, const std::string& path, const std::string& display_name) {
  file.DisplayName = display_name;
  file.LineNumber = 0;
  for (;;) {
    std::string message;
    try {
      const std::string found = FindFileNoCase(path);
      struct stat info;
      // Opening a directory succeeds here, and only its reads would fail.
      const auto error = ::stat(found.c_str(), &info) == 0 && S_ISDIR(info.st_mode)
                             ? std::optional<tIoError>(IoErrorFromErrno(EISDIR))
                             : file.File.Open(found);
      if (!error) return true;
      message = "Could not open " + display_name + " for reading: " + IoErrorText(*error);
    } catch (const std::bad_alloc&) {
      message = "Unknown error reading data";
    }
    if (!AskRetryAbort(message)) return false;
  }
}

bool RewindDataFile(tDataFile& file) {
  file.LineNumber = 0;
  return !file.File.Rewind().has_value();
}

void CloseDataFile(tDataFile& file, const std::string& close_prefix) {
  const auto error = file.File.Close();
  if (error) ShowWarning(close_prefix + file.DisplayName + ": " + IoErrorText(*error));
}

std::string ReadDataLine(tDataFile& file) {
  std::string result;
  std::string line;
  while (Trim(result).empty()) {
    bool got_line = false;
    try {
      got_line = file.File.ReadLine(line, kMaxLineLength);
    } catch (const EFileError& error) {
      if (AskRetryAbort("Could not read from " + file.DisplayName + ": " + IoErrorText(error.Error))) {
        continue;
      }
      // The question has said what went wrong; the reader fails as after a fatal error. Taking
      // the abort for the end of the file would let a reader go on with part of its data.
      throw EErrorStop();
    }
    if (!got_line) break;
    if (file.LineNumber == kMaxLines) {
      FatalError("The file " + file.DisplayName + " is longer than " + std::to_string(kMaxLines) +
                 " lines, line " + std::to_string(kMaxLines + 1));
    }
    ++file.LineNumber;
    if (line.size() > kMaxLineLength) {
      FatalError("The line " + std::to_string(file.LineNumber) + " in " + file.DisplayName +
                 " is longer than " + std::to_string(kMaxLineLength) + " characters");
    }
    const std::size_t comment = line.find(';');
    result = comment == std::string::npos ? line : line.substr(0, comment);
  }
  // A line that is blank once its comment is cut off is never data, at the end of a file too.
  if (Trim(result).empty()) return "";
  return result;
}

}  // namespace glycomb
