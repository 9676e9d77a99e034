// Text files on disk: case-insensitive name look-up, line-by-line reading with rewinding, and
// writing a whole text safely. Errors come back as tIoError values.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>

#include "console/io_error.hpp"

namespace glycomb {

// The path of the existing file (or directory) whose name equals `path` without regard to letter
// case, component by component; a component with no such match is kept as given.
std::string FindFileNoCase(const std::string& path);

// Whether `path` names an existing file or directory.
bool FileExists(const std::string& path);

// The system calls through which the file layer reads and replaces files. Tests swap them to
// inject the faults that real files cannot be made to show on demand (a read error in the middle
// of a file, a process killed just before the new result file replaces the old one).
struct tFileSystemCalls {
  ssize_t (*Read)(int fd, void* buffer, std::size_t count);
  int (*Rename)(const char* from, const char* to);
};
extern tFileSystemCalls FileSystemCalls;

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
  // of the file. Raises EFileError on a read error. Of a line longer than `max_length` only the
  // first max_length + 1 characters are read, so that `line` never grows beyond that.
  bool ReadLine(std::string& line, std::size_t max_length = std::string::npos - 1);
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

// Reads the whole of `path` into `bytes`, at most `max_bytes` of it. Returns the error, or nothing
// on success.
std::optional<tIoError> ReadWholeFile(const std::string& path, std::string& bytes,
                                      std::size_t max_bytes);

// What went wrong while a file was written, and at which step.
struct tWriteError {
  enum tStep { kOpen, kWrite, kClose };
  tStep Step;
  tIoError Error;
};

// The message of a write failure at `file_name`: "Could not open F for writing: ...", "Could not
// write to F: ..." or "Could not close F: ...".
std::string WriteErrorText(const tWriteError& error, const std::string& file_name);

// Writes `text` as the whole new contents of `path`. A regular file, or a name not taken yet, is
// written through a temporary file beside it ("<path>.XXXXXX", six capital letters or digits)
// that is synced, closed and only then renamed to `path`, so that `path` holds its old contents
// or all of `text`, whatever happens in between. A symbolic link is followed and the file it names
// replaced, with the permissions that file had. On a failure the temporary file is removed; a kill
// before the rename leaves it behind. A device or other special file is written in place.
std::optional<tWriteError> ReplaceFile(const std::string& path, const std::string& text);

// Appends `text` to `path` (creating it when it is missing) and syncs it. On a failure the file is
// cut back to its old length; `text_left` is set when even that fails and a part of `text` stays.
std::optional<tWriteError> AppendToFile(const std::string& path, const std::string& text,
                                        bool& text_left);

}  // namespace glycomb
