#include "fuzz_frame.hpp"

#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "console/console.hpp"

namespace glycomb::fuzz {
namespace {

std::string g_directory;
int g_directory_fd = -1;
tResidueTable g_residues;

[[noreturn]] void Die(const char* what) {
  std::perror(what);
  std::abort();
}

std::string ReadShipped(const std::string& name) {
  std::ifstream in(std::string(GLYCOMB_SOURCE_DIR) + "/data/" + name, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  if (!in) Die(name.c_str());
  return content.str();
}

void RemoveDirectory() {
  std::error_code ignored;
  std::filesystem::remove_all(g_directory, ignored);
}

// A directory in memory when the system has one: every input is written to a file, and a disk
// file system makes that the slowest part of an execution.
std::filesystem::path TemporaryParent() {
  std::error_code error;
  if (std::getenv("TMPDIR") == nullptr && std::filesystem::is_directory("/dev/shm", error)) {
    return "/dev/shm";
  }
  return std::filesystem::temp_directory_path();
}

}  // namespace

void SetUp() {
  if (g_directory_fd >= 0) return;
  std::string pattern = (TemporaryParent() / "glycomb-fuzz-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) Die("mkdtemp");
  g_directory = pattern;
  std::atexit(RemoveDirectory);
  std::filesystem::create_directory(g_directory + "/c13data");
  g_directory_fd = open(g_directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (g_directory_fd < 0) Die("open");

  // The program's messages go nowhere; libFuzzer reports on standard error.
  const int null_output = open("/dev/null", O_WRONLY);
  if (null_output < 0 || dup2(null_output, STDOUT_FILENO) < 0) Die("/dev/null");
  close(null_output);
  // An empty input: a question finds the end of input at once, a fatal console error that ends
  // the reader as a failure, as in a batch run with </dev/null.
  const int null_input = open("/dev/null", O_RDONLY | O_CLOEXEC);
  if (null_input < 0) Die("/dev/null");
  SetConsoleInput(null_input);

  const std::string names = ReadShipped("NAMES.PS");
  WriteInput("NAMES.PS", reinterpret_cast<const std::uint8_t*>(names.data()), names.size());
  InFuzzDirectory here;
  if (!ReadNamesDatabase(g_residues)) Die("shipped NAMES.PS");
}

InFuzzDirectory::InFuzzDirectory() : previous_(open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
  if (previous_ < 0 || fchdir(g_directory_fd) != 0) Die("fchdir");
}

InFuzzDirectory::~InFuzzDirectory() {
  if (fchdir(previous_) != 0) Die("fchdir");
  close(previous_);
}

void WriteInput(const std::string& name, const std::uint8_t* data, std::size_t size) {
  const int fd = openat(g_directory_fd, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC,
                        0644);
  if (fd < 0) Die(name.c_str());
  while (size > 0) {
    const ssize_t written = write(fd, data, size);
    if (written <= 0) Die(name.c_str());
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  close(fd);
}

const tResidueTable& ShippedResidues() { return g_residues; }

}  // namespace glycomb::fuzz
