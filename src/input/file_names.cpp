#include "input/file_names.hpp"

#include "console/text_file.hpp"

namespace glycomb {
namespace {

constexpr char kSeparator = '/';

// Index where the file-name part of `path` begins.
std::size_t FileNameStart(const std::string& path) {
  const std::size_t separator = path.rfind(kSeparator);
  return separator == std::string::npos ? 0 : separator + 1;
}

}  // namespace

std::string ForceExtension(const std::string& given, std::string_view extension) {
  const std::size_t start = FileNameStart(given);
  std::string file_name = given.substr(start);
  const std::size_t dot = file_name.rfind('.');
  if (dot != std::string::npos) file_name.erase(dot);
  file_name += extension;
  for (char& c : file_name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return given.substr(0, start) + file_name;
}

std::string OutputFileName(const std::string& given, std::string_view extension) {
  const std::string name = ForceExtension(given, extension);
  const std::size_t start = FileNameStart(name);
  // Only the file-name part is taken from the look-up; the directory stays as the user wrote it.
  const std::string found = FindFileNoCase(name);
  return name.substr(0, start) + found.substr(FileNameStart(found));
}

}  // namespace glycomb
