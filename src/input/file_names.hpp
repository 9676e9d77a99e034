// Names of the program's own files derived from a name given on the command line.
#pragma once

#include <string>
#include <string_view>

namespace glycomb {

// `given` with its directory part kept as written and its file-name part upper-cased, the
// extension replaced by `extension` (added when there is none): work/abc.txt with ".TSK" gives
// work/ABC.TSK.
std::string ForceExtension(const std::string& given, std::string_view extension);

// ForceExtension(given, extension), except that when a file of that name in another letter case
// already exists in the directory, that file's name is used, so that no second file appears
// beside it.
std::string OutputFileName(const std::string& given, std::string_view extension);

}  // namespace glycomb
