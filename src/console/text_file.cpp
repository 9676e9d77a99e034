#include "console/text_file.hpp"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
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

namespace {

// Writes all of `text`; `written` counts the bytes that went out, also on failure.
std::optional<tIoError> WriteAll(int fd, const std::string& text, std::size_t& written) {
  written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(fd, text.data() + written, text.size() - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return IoErrorFromErrno(count < 0 ? errno : ENOSPC);
    written += static_cast<std::size_t>(count);
  }
  return std::nullopt;
}

tWriteError Failed(tWriteError::tStep step, int error_number) {
  return {step, IoErrorFromErrno(error_number)};
}

// Writes all of `text` to `fd`, syncs it when `sync` is set, and closes it, whatever failed.
std::optional<tWriteError> WriteAndClose(int fd, const std::string& text, bool sync,
                                         std::size_t& written) {
  std::optional<tWriteError> failure;
  if (const auto error = WriteAll(fd, text, written)) {
    failure = tWriteError{tWriteError::kWrite, *error};
  } else if (sync && ::fsync(fd) != 0) {
    failure = Failed(tWriteError::kWrite, errno);
  }
  if (::close(fd) != 0 && !failure) failure = Failed(tWriteError::kClose, errno);
  return failure;
}

// Writes `text` over the contents of `path` in place (devices, pipes, dangling links).
std::optional<tWriteError> WriteInPlace(const std::string& path, const std::string& text) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return Failed(tWriteError::kOpen, errno);
  std::size_t written = 0;
  return WriteAndClose(fd, text, false, written);
}

// Creates a file of a new name beside `path` for writing; -1 (errno set) on failure.
int CreateTemporaryBeside(const std::string& path, std::string& temporary) {
  static constexpr char kLetters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  // Names only need to differ from files already there, which O_EXCL finds out.
  static std::minstd_rand random(static_cast<std::uint_fast32_t>(
      ::getpid() ^ std::chrono::steady_clock::now().time_since_epoch().count()));
  std::uniform_int_distribution<std::size_t> letter(0, sizeof kLetters - 2);
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = path + ".";
    for (int i = 0; i < 6; ++i) temporary += kLetters[letter(random)];
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

// Makes a rename in the directory of `path` durable; a failure changes nothing that matters.
void SyncDirectoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  const std::string directory =
      slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

}  // namespace

std::optional<tIoError> ReadWholeFile(const std::string& path, std::string& bytes,
                                      std::size_t max_bytes) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return IoErrorFromErrno(errno);
  char buffer[65536];
  for (;;) {
    const ssize_t got = FileSystemCalls.Read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      const tIoError error = IoErrorFromErrno(errno);
      ::close(fd);
      return error;
    }
    if (got == 0 || bytes.size() >= max_bytes) break;
    bytes.append(buffer, std::min(static_cast<std::size_t>(got), max_bytes - bytes.size()));
  }
  ::close(fd);
  return std::nullopt;
}

std::string WriteErrorText(const tWriteError& error, const std::string& file_name) {
  const std::string reason = ": " + IoErrorText(error.Error);
  switch (error.Step) {
    case tWriteError::kOpen: return "Could not open " + file_name + " for writing" + reason;
    case tWriteError::kWrite: return "Could not write to " + file_name + reason;
    case tWriteError::kClose: break;
  }
  return "Could not close " + file_name + reason;
}

std::optional<tWriteError> ReplaceFile(const std::string& path, const std::string& text) {
  struct stat info;
  const bool exists = ::stat(path.c_str(), &info) == 0;
  struct stat link;
  if ((exists && !S_ISREG(info.st_mode)) || (!exists && ::lstat(path.c_str(), &link) == 0)) {
    return WriteInPlace(path, text);
  }
  std::string target = path;
  if (exists) {
    char* const resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return Failed(tWriteError::kOpen, errno);
    target = resolved;
    std::free(resolved);
  }
  std::string temporary;
  const int fd = CreateTemporaryBeside(target, temporary);
  if (fd < 0) return Failed(tWriteError::kOpen, errno);
  if (exists) ::fchmod(fd, info.st_mode & 07777);
  std::size_t written = 0;
  std::optional<tWriteError> failure = WriteAndClose(fd, text, true, written);
  if (!failure && FileSystemCalls.Rename(temporary.c_str(), target.c_str()) != 0) {
    failure = Failed(tWriteError::kWrite, errno);
  }
  if (failure) {
    ::unlink(temporary.c_str());
    return failure;
  }
  SyncDirectoryOf(target);
  return std::nullopt;
}

std::optional<tWriteError> AppendToFile(const std::string& path, const std::string& text,
                                        bool& text_left) {
  text_left = false;
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return Failed(tWriteError::kOpen, errno);
  struct stat info;
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  std::size_t written = 0;
  const std::optional<tWriteError> failure = WriteAndClose(fd, text, regular, written);
  if (failure && written > 0) {
    text_left = !regular || ::truncate(path.c_str(), info.st_size) != 0;
  }
  return failure;
}

}  // namespace glycomb
