#include "console/text_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <vector>

namespace glycomb {

tFileSystemCalls FileSystemCalls = {::read, ::rename};

namespace {

bool SameIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    char x = a[i], y = b[i];
    if (x >= 'a' && x <= 'z') x = static_cast<char>(x - 'a' + 'A');
    if (y >= 'a' && y <= 'z') y = static_cast<char>(y - 'a' + 'A');
    if (x != y) return false;
  }
  return true;
}

// The entry of `directory` whose name equals `name` without regard to case; the alphabetically
// first when several do.
std::optional<std::string> MatchInDirectory(const std::string& directory, const std::string& name) {
  DIR* dir = opendir(directory.empty() ? "." : directory.c_str());
  if (dir == nullptr) return std::nullopt;
  std::vector<std::string> matches;
  while (const dirent* entry = readdir(dir)) {
    if (SameIgnoringCase(entry->d_name, name)) matches.emplace_back(entry->d_name);
  }
  closedir(dir);
  if (matches.empty()) return std::nullopt;
  return *std::min_element(matches.begin(), matches.end());
}

std::optional<tIoError> ErrorFromErrno() { return IoErrorFromErrno(errno); }

}  // namespace

bool FileExists(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0;
}

std::string FindFileNoCase(const std::string& path) {
  if (path.empty() || FileExists(path)) return path;
  std::string resolved;
  std::size_t start = 0;
  if (path[0] == '/') {
    resolved = "/";
    start = 1;
  }
  bool matching = true;
  while (start <= path.size()) {
    std::size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    const std::string component = path.substr(start, end - start);
    std::string chosen = component;
    if (matching && !component.empty() && component != "." && component != "..") {
      const std::string candidate = resolved + component;
      if (!FileExists(candidate)) {
        const auto match = MatchInDirectory(resolved, component);
        if (match) {
          chosen = *match;
        } else {
          matching = false;
        }
      }
    }
    resolved += chosen;
    if (end < path.size()) resolved += '/';
    start = end + 1;
  }
  return resolved;
}

InputTextFile::~InputTextFile() { Close(); }

std::optional<tIoError> InputTextFile::Open(const std::string& path) {
  Close();
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrorFromErrno();
  fd_ = fd;
  position_ = length_ = 0;
  return std::nullopt;
}

bool InputTextFile::Fill() {
  if (position_ < length_) return true;
  if (fd_ < 0) throw EFileError{{103, "file not open"}};
  for (;;) {
    const ssize_t count = FileSystemCalls.Read(fd_, buffer_, sizeof buffer_);
    if (count > 0) {
      position_ = 0;
      length_ = static_cast<std::size_t>(count);
      return true;
    }
    if (count == 0) return false;
    if (errno != EINTR) throw EFileError{IoErrorFromErrno(errno)};
  }
}

bool InputTextFile::ReadLine(std::string& line, std::size_t max_length) {
  line.clear();
  if (!Fill()) return false;
  while (Fill()) {
    // The characters up to the next line end in the buffer, as many as the limit leaves room for.
    const char* const start = buffer_ + position_;
    const std::size_t available = length_ - position_;
    std::size_t run = 0;
    while (run < available && start[run] != '\n' && start[run] != '\r') ++run;
    const std::size_t taken = std::min(run, max_length - line.size() + 1);
    line.append(start, taken);
    position_ += taken;
    if (line.size() > max_length) return true;
    if (taken < available) {
      if (buffer_[position_++] == '\r' && Fill() && buffer_[position_] == '\n') ++position_;
      return true;
    }
  }
  return true;
}

std::optional<tIoError> InputTextFile::Rewind() {
  if (fd_ < 0) return tIoError{103, "file not open"};
  if (::lseek(fd_, 0, SEEK_SET) < 0) return ErrorFromErrno();
  position_ = length_ = 0;
  return std::nullopt;
}

std::optional<tIoError> InputTextFile::Close() {
  if (fd_ < 0) return std::nullopt;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return ErrorFromErrno();
  return std::nullopt;
}

OutputTextFile::~OutputTextFile() { Close(); }

std::optional<tIoError> OutputTextFile::OpenWith(const std::string& path, int flags) {
  Close();
  const int fd = ::open(path.c_str(), flags | O_WRONLY | O_CLOEXEC, 0644);
  if (fd < 0) return ErrorFromErrno();
  fd_ = fd;
  return std::nullopt;
}

std::optional<tIoError> OutputTextFile::Create(const std::string& path) {
  return OpenWith(path, O_CREAT | O_TRUNC);
}

std::optional<tIoError> OutputTextFile::Append(const std::string& path) {
  return OpenWith(path, O_CREAT | O_APPEND);
}

std::optional<tIoError> OutputTextFile::WriteLine(const std::string& text) {
  if (fd_ < 0) return tIoError{103, "file not open"};
  const std::string line = text + "\r\n";
  std::size_t done = 0;
  while (done < line.size()) {
    const ssize_t count = ::write(fd_, line.data() + done, line.size() - done);
    if (count < 0) {
      if (errno == EINTR) continue;
      return ErrorFromErrno();
    }
    done += static_cast<std::size_t>(count);
  }
  return std::nullopt;
}

std::optional<tIoError> OutputTextFile::Close() {
  if (fd_ < 0) return std::nullopt;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) return ErrorFromErrno();
  return std::nullopt;
}

}  // namespace glycomb
