// The line-oriented input files of the program: opening with Retry/Abort, the shared line reader
// with its line counter, and closing with a warning.
#pragma once

#include <cstdint>
#include <string>

#include "console/text_file.hpp"

namespace glycomb {

// An input file being read: the file, the name that messages show and the number of physical
// lines read so far (LineNumber, restarted at every open and rewind).
struct tDataFile {
  InputTextFile File;
  std::string DisplayName;
  std::uint16_t LineNumber = 0;
};

// Opens `path` into `file`, asking Retry or Abort on failure with "Could not open " + display name
// + " for reading: " + the error text. Returns false when the user aborts. The path is looked up
// without regard to letter case.
bool OpenDataFile(tDataFile& file, const std::string& path, const std::string& display_name);

// Goes back to the start of the file and restarts the line counter; false on failure.
bool RewindDataFile(tDataFile& file);

// Closes the file; a failure is only a warning: `close_prefix` + display name + ": " + error text.
void CloseDataFile(tDataFile& file, const std::string& close_prefix = "Could not close ");

// The most physical lines an input file may have, and the most characters a line may have
// (comment included).
inline constexpr std::uint16_t kMaxLines = 65535;
inline constexpr std::size_t kMaxLineLength = 65535;

// The next line that is not blank once its ";" comment is cut off, as read (only the comment is
// removed); empty when no such line is left. Counts every physical line in LineNumber. A read
// error asks Retry or Abort; Abort ends the reading through EErrorStop, as a fatal error would. A
// file longer than kMaxLines lines or a line longer than kMaxLineLength characters is a fatal
// error.
std::string ReadDataLine(tDataFile& file);

// `text` without leading and trailing characters of code 32 or below.
std::string Trim(const std::string& text);

}  // namespace glycomb
