// Text files on disk: case-insensitive name look-up, line-by-line reading with rewinding, and
// line writing with CR LF line ends. Errors come back as tIoError values.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "console/io_error.hpp"

namespace glycomb {

// The path of the existing file (or directory) whose name equals `path` without regard to letter
// case, component by component; a component with no such match is kept as given.
std::string FindFileNoCase(const std::string& path);

// Whether `path` names an existing file or directory.
bool FileExists(const std::string& path);

// Raised by InputTextFile::ReadLine on a read error.
struct EFileError {
  tIoError Error;
};

class InputTextFile {
 public:
  InputTextFile() = default;
  ~InputTextFile();
  InputTextFile(const InputTextFile&) = delete;
  InputTextFile& operator=(const InputTextFile&) = delete;

  // Opens `path` for reading. Returns the error, or nothing on success.
  std::optional<tIoError> Open(const std::string& path);
  bool IsOpen() const { return fd_ >= 0; }
  // Reads the next physical line without its line end (LF, CR LF or CR). Returns false at the end
  // of the file. Raises EFileError on a read error.
  bool ReadLine(std::string& line);
  // Goes back to the start of the file.
  std::optional<tIoError> Rewind();
  std::optional<tIoError> Close();

 private:
  // Makes at least one unread byte available; false at the end of the file.
  bool Fill();

  int fd_ = -1;
  char buffer_[4096];
  std::size_t position_ = 0;
  std::size_t length_ = 0;
};

class OutputTextFile {
 public:
  OutputTextFile() = default;
  ~OutputTextFile();
  OutputTextFile(const OutputTextFile&) = delete;
  OutputTextFile& operator=(const OutputTextFile&) = delete;

  // Creates `path` anew (emptying an existing file) or opens it for appending.
  std::optional<tIoError> Create(const std::string& path);
  std::optional<tIoError> Append(const std::string& path);
  // Writes `text` followed by CR LF.
  std::optional<tIoError> WriteLine(const std::string& text);
  // Writes `text` as it is.
  std::optional<tIoError> Write(std::string_view text);
  std::optional<tIoError> Close();

 private:
  std::optional<tIoError> OpenWith(const std::string& path, int flags);
  int fd_ = -1;
};

}  // namespace glycomb
