#include "databases/names_database.hpp"

#include "console/console.hpp"
#include "databases/data_file.hpp"

namespace glycomb {
namespace {

constexpr char kFileName[] = "NAMES.PS";
// At most 254 records: index 255 means "not found".
constexpr std::size_t kMaxRecords = 254;

std::string AtLine(const tDataFile& file) { return std::to_string(file.LineNumber); }

bool Contains(const std::string& text, const char* word) {
  return text.find(word) != std::string::npos;
}

// Turns one data line into a record; fatal errors name the line.
tNameRecord ParseNameLine(const std::string& line, const tDataFile& file) {
  const std::string where = " file NAMES.PS, line " + AtLine(file);
  // The name is 3 or 4 characters, so " /" starts at the 4th or 5th character.
  const std::size_t separator = line.find(" /");
  if (separator != 3 && separator != 4) {
    FatalError("NAMES.PS file is corrupted, line " + AtLine(file));
  }
  tNameRecord record;
  record.Name = line.substr(0, separator);
  if (record.Name.back() == 'p') record.Name.back() = 'P';
  const std::string text = line.substr(separator + 2);

  record.RingKind = kPyranose;
  if (Contains(text, "fur")) record.RingKind = kFuranose;
  if (Contains(text, "ald")) record.RingKind = kAlditol;
  if (Contains(text, "non")) record.RingKind = kNonSugar;

  record.C1Peculiarity = kC1Normal;
  if (record.Name.back() == 'P') record.C1Peculiarity = kC1Phosphate;
  if (Contains(text, "Aatt")) record.C1Peculiarity = kC1Aatt;
  if (Contains(text, "Catt")) record.C1Peculiarity = kC1Catt;

  record.NLinked = Contains(text, "Nlink") ? 1 : 0;

  record.CarbonCount = 9;
  if (!Contains(text, "2")) {
    FatalError("Missing qulifier for the atom 2, file NAMES.PS, line " + AtLine(file));
  }
  record.C2ProtonOrientation = kC2ProtonAxial;
  record.C2Substituent = kC2Hydroxy;

  for (unsigned position = 2; position <= 9; ++position) {
    const std::size_t at = text.find(static_cast<char>('0' + position));
    if (at == std::string::npos) {
      --record.CarbonCount;
      continue;
    }
    if (record.CarbonCount < 9) {
      FatalError("Some qualifiers are missing, file NAMES.PS, line " + AtLine(file));
    }
    if (at + 2 >= text.size()) {
      FatalError("The atom " + std::to_string(position) +
                 " has no qualifier and orientation letters, file NAMES.PS, line " + AtLine(file));
    }
    const auto bit = static_cast<tPositionSet>(1u << position);
    switch (text[at + 1]) {
      case 'o': record.OSubstitutable |= bit; break;
      case 'c':
        record.NSubstitutable |= bit;
        record.OSubstitutable |= bit;
        break;
      case 'n':
        record.NSubstitutable |= bit;
        record.AminoPositions |= bit;
        break;
      case 'd':
        if (position == 2) {
          record.C2ProtonOrientation = kC2ProtonOpenChain;
          record.C2Substituent = kC2Deoxy;
        }
        break;
      default:
        FatalError("Wrong qualifier for the atom " + std::to_string(position) + where);
    }
    switch (text[at + 2]) {
      case 'a': break;
      case 'c':
        if (position == 2) record.C2ProtonOrientation = kC2ProtonOpenChain;
        break;
      case 'e': record.EquatorialPositions |= bit; break;
      default:
        FatalError("Wrong orientation for the atom " + std::to_string(position) + where);
    }
  }
  if (InSet(record.EquatorialPositions, 2)) record.C2ProtonOrientation = kC2ProtonEquatorial;
  if (InSet(record.AminoPositions, 2)) record.C2Substituent = kC2Amino;
  return record;
}

}  // namespace

tNameRecord PhosphateRecord() {
  return tNameRecord{.Name = std::string(1, 'P'),
                     .AminoPositions = 0,
                     .EquatorialPositions = 0,
                     .RingKind = kPyranose,
                     .NLinked = 0,
                     .C1Peculiarity = kC1Phosphate,
                     .OSubstitutable = 1u << 2,
                     .NSubstitutable = 0,
                     .C2ProtonOrientation = kC2ProtonEquatorial,
                     .C2Substituent = kC2Amino,
                     .CarbonCount = 0};
}

bool ReadNamesDatabase(tResidueTable& table) {
  table.assign(1, PhosphateRecord());
  tDataFile file;
  try {
    if (!OpenDataFile(file, "names.ps", kFileName)) return false;
    std::string line = ReadDataLine(file);
    if (line.empty()) FatalError("NAMES.PS contains no data");
    while (!line.empty()) {
      if (table.size() > kMaxRecords) {
        FatalError("NAMES.PS holds more than " + std::to_string(kMaxRecords) +
                   " residue records, line " + AtLine(file));
      }
      table.push_back(ParseNameLine(line, file));
      line = ReadDataLine(file);
    }
    CloseDataFile(file);
  } catch (const EErrorStop&) {
    return false;
  }
  return true;
}

std::uint8_t FindResidueName(const tResidueTable& table, std::string_view name) {
  std::uint8_t found = kNameNotFound;
  for (std::size_t i = 1; i < table.size() && i <= kMaxRecords; ++i) {
    if (table[i].Name == name) found = static_cast<std::uint8_t>(i);
  }
  return found;
}

std::string ResidueClassName(const tNameRecord& record) {
  const std::string count = std::to_string(record.CarbonCount);
  std::string name;
  switch (record.RingKind) {
    case kFuranose: name = "fur" + count; break;
    case kAlditol: name = "ald" + count; break;
    case kNonSugar: name = "non"; break;
    default: {
      static constexpr const char* kClasses[8] = {"glc", "man", "all", "alt",
                                                  "gal", "tal", "gul", "ido"};
      const unsigned code = (InSet(record.EquatorialPositions, 2) ? 1u : 0u) +
                            (InSet(record.EquatorialPositions, 3) ? 2u : 0u) +
                            (InSet(record.EquatorialPositions, 4) ? 4u : 0u);
      name = kClasses[code];
      if (record.CarbonCount != 6) name += count;
      break;
    }
  }
  return name.substr(0, 4);
}

}  // namespace glycomb
