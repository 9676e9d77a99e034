#include "databases/shift_database.hpp"

#include <new>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "databases/data_file.hpp"
#include "databases/descriptor.hpp"
#include "databases/fixed_columns.hpp"

namespace glycomb {
namespace {

// Layout of a c13data line; column 1 is the first character.
//   aS(2o,2a,DD,n)3/bS(2o,2a,DL,n)4-> 0.5  1.2  101.5  72.1 ...
struct tSubstituentColumns {
  std::size_t Anomeric, Type, C2Group, C2Proton, Absolute, C1Peculiarity, Position;
};
constexpr tSubstituentColumns kSubstituentColumns[2] = {{1, 2, 5, 8, 11, 13, 15},
                                                        {17, 18, 21, 24, 27, 29, 31}};
constexpr tPunctuation kPunctuation[] = {{3, '('},  {6, ','},  {9, ','},  {12, ','}, {14, ')'},
                                         {16, '/'}, {19, '('}, {22, ','}, {25, ','}, {28, ','},
                                         {30, ')'}, {32, '-'}, {33, '>'}};
// The C1 effect on each substituent.
constexpr tTenthsColumns kC1EffectColumns[2] = {{34, 35, 36, 37}, {39, 40, 41, 42}};
// The shift of carbon k (1, 2, ...): a blank column, three columns of integer part, ".", tenths.
constexpr std::size_t ShiftBlankColumn(std::size_t k) { return 37 + 6 * k; }
constexpr tTenthsColumns ShiftColumns(std::size_t k) {
  return {37 + 6 * k, 40 + 6 * k, 41 + 6 * k, 42 + 6 * k};
}

constexpr char kDirectory[] = "c13data/";
constexpr const char* kOrdinals[2] = {"first", "second"};

// One data line taken apart.
struct tShiftLine {
  std::uint8_t Positions[2] = {0, 0};
  unsigned Cells[2] = {0, 0};
  std::uint8_t C1Effects[2] = {0, 0};
  std::array<std::int32_t, kMaxCarbons> Shifts{};
};

class tShiftFileReader {
 public:
  tShiftFileReader(tDataFile& file, const tNameRecord& record) : file_(file), record_(record) {}

  tShiftLine Parse(const std::string& line) const {
    CheckShiftColumns(line);
    for (const tPunctuation& p : kPunctuation) {
      if (ColumnChar(line, p.Column) != p.Letter) Fail("Wrong qualifier prefix, file ");
    }
    for (const tTenthsColumns& effect : kC1EffectColumns) {
      if (ColumnChar(line, effect.Point) != '.') Fail("Wrong effects dataset, file ");
    }
    tShiftLine parsed;
    ReadPositions(line, parsed);
    for (int s = 0; s < 2; ++s) {
      if (parsed.Positions[s] != 0) parsed.Cells[s] = DecodeSubstituent(line, s);
    }
    for (int s = 0; s < 2; ++s) parsed.C1Effects[s] = ReadC1Effect(line, s);
    ReadShifts(line, parsed);
    return parsed;
  }

 private:
  [[noreturn]] void Fail(const std::string& message) const {
    FatalError(message + file_.DisplayName + ", line " + std::to_string(file_.LineNumber));
  }
  std::string Line() const { return std::to_string(file_.LineNumber); }

  void CheckShiftColumns(const std::string& line) const {
    for (std::size_t k = 1; k <= record_.CarbonCount; ++k) {
      if (line.size() < ShiftColumns(k).Tenths) {
        FatalError("The file " + file_.DisplayName + " is corrupted, line " + Line());
      }
      if (ColumnChar(line, ShiftBlankColumn(k)) != ' ' ||
          ColumnChar(line, ShiftColumns(k).Point) != '.') {
        Fail("Wrong chemical shifts dataset, file ");
      }
    }
  }

  void ReadPositions(const std::string& line, tShiftLine& parsed) const {
    for (int s = 0; s < 2; ++s) {
      const char digit = ColumnChar(line, kSubstituentColumns[s].Position);
      if (digit < '0' || digit > '9') Fail("Could not retrieve the substitution position, file ");
      parsed.Positions[s] = static_cast<std::uint8_t>(digit - '0');
    }
    const std::uint8_t p1 = parsed.Positions[0];
    const std::uint8_t p2 = parsed.Positions[1];
    if (p1 == 1 || p2 == 1) Fail("Substitution position cannot be 1, file ");
    if (p1 != 0 && p1 == p2) Fail("Two substitution positions should not be the same, file ");
    if (p2 != 0 && p1 > p2) {
      Fail("The lower substitution position should go prior to the higher, file ");
    }
    // A position past the last carbon has no slot in the tables.
    if (p1 > record_.CarbonCount || p2 > record_.CarbonCount) {
      Fail("The substitution position is beyond the bound of 2.." +
           std::to_string(record_.CarbonCount) + " allowed for " + record_.Name + ", file ");
    }
  }

  unsigned DecodeSubstituent(const std::string& line, int s) const {
    const tSubstituentColumns& columns = kSubstituentColumns[s];
    const std::string ordinal = kOrdinals[s];
    tDescriptorFault fault;
    const unsigned cell = DecodeDescriptor(
        line,
        {columns.C1Peculiarity, columns.Type, columns.Anomeric, columns.Absolute, columns.C2Group,
         columns.C2Proton, "CcXx"},
        fault);
    switch (fault) {
      case tDescriptorFault::kNone:
        break;
      case tDescriptorFault::kC1Peculiarity:
        Fail("Could not determine the " + ordinal + " substituent C1 peculiarities, file ");
      case tDescriptorFault::kType:
        FatalError(
            "Could not determine the type of the " + ordinal + " substituent, file " +
            file_.DisplayName + ", line " + Line() + kLineBreak +
            "It should be one of: S(pyranose),F(furanose),A(alditol),P(phosphate),N(not a sugar).");
      case tDescriptorFault::kAnomeric:
        Fail("The anomeric configuration of the " + ordinal +
             " substituent of S or F type should be either a(alpha) or b(beta), file ");
      case tDescriptorFault::kAbsolute:
        Fail("The absolute configuration of the " + ordinal +
             " substituent should be either DD(same) or DL(different), file ");
      case tDescriptorFault::kC2Group:
        Fail("The type of substituent at C2 of the " + ordinal +
             " substituent should be either O(hydroxy) or N(amino) or D(desoxy), file ");
      case tDescriptorFault::kC2Proton:
        Fail("The orientation of proton at C2 of the " + ordinal +
             " substituent should be either a(axial) or e(equatorial) or c(open chain), file ");
    }
    return cell;
  }

  std::uint8_t ReadC1Effect(const std::string& line, int s) const {
    const tTenthsColumns& columns = kC1EffectColumns[s];
    const std::string ordinal = kOrdinals[s];
    const auto value = ParseInteger(TenthsText(line, columns.First, columns.Last, columns.Tenths));
    if (!value) Fail("Could not interpret the " + ordinal + " C1 effect in ");
    if (*value < 0 || *value > 255) {
      Fail("The " + ordinal + " effect on C1\" is beyond the bounds of 0..+25.5, file ");
    }
    return static_cast<std::uint8_t>(*value);
  }

  void ReadShifts(const std::string& line, tShiftLine& parsed) const {
    std::size_t count = 0;
    for (std::size_t k = 1;; ++k) {
      const tTenthsColumns columns = ShiftColumns(k);
      const std::string text = Trim(TenthsText(line, columns.First, columns.Last, columns.Tenths));
      if (text.empty()) break;
      const auto value = ParseInteger(text);
      if (!value) {
        Fail("Could not interpret the chemical shift for C" + std::to_string(k) + " in ");
      }
      if (*value < 0) {
        Fail("The chemical shift for C" + std::to_string(k) + " is below zero, file ");
      }
      if (k <= parsed.Shifts.size()) parsed.Shifts[k - 1] = *value;
      count = k;
    }
    if (count == 0) {
      FatalError("The line " + Line() + " in " + file_.DisplayName + " contains no spectral data");
    }
    if (count != record_.CarbonCount) {
      FatalError("The number of C13 chemical shifts specified in " + file_.DisplayName + " (line " +
                 Line() + ") differs from " + std::to_string(record_.CarbonCount) +
                 ", which should be in " + record_.Name);
    }
  }

  tDataFile& file_;
  const tNameRecord& record_;
};

// Stores one data line; a later line with the same pattern and descriptors replaces the earlier.
void StoreShiftLine(const tShiftLine& parsed, tShiftEntry& entry, const tDataFile& file) {
  const std::uint8_t p1 = parsed.Positions[0];
  const std::uint8_t p2 = parsed.Positions[1];
  try {
    if (p1 == 0 && p2 == 0) {
      entry.PutTerminal(realdata1e{.C1Effect = 0, .Shifts = parsed.Shifts});
      return;
    }
    const std::uint8_t slot = SubstitutionCode(p1, p2);
    if (p2 == 0) {
      entry.PutMono(slot, parsed.Cells[0],
                    realdata1e{.C1Effect = parsed.C1Effects[0], .Shifts = parsed.Shifts});
    } else {
      const auto effects =
          static_cast<std::uint16_t>(parsed.C1Effects[0] | (parsed.C1Effects[1] << 8));
      entry.PutDi(slot, parsed.Cells[0], parsed.Cells[1],
                  realdata2e{.C1Effects = effects, .Shifts = parsed.Shifts});
    }
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory for reading C13 data, file " + file.DisplayName);
  }
}

// Reads one open c13data file into `entry`.
void ReadShiftFile(tDataFile& file, const tNameRecord& record, tShiftEntry& entry) {
  try {
    entry.CreateShiftGrids(record.CarbonCount);
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory allocating C13 shifts for " + record.Name);
  }
  const tShiftFileReader reader(file, record);
  bool any_line = false;
  for (std::string line = ReadDataLine(file); !line.empty(); line = ReadDataLine(file)) {
    any_line = true;
    StoreShiftLine(reader.Parse(line), entry, file);
  }
  if (!any_line) FatalError("The file " + file.DisplayName + " contains no spectral data");
  if (entry.Terminal() == nullptr) {
    FatalError(
        "Error interpreting file " + file.DisplayName +
        ": missing data for the terminal residue: xX(2x,2x,XX,x)0;xX(2x,2x,XX,x)0-> 0.0  0.0 ...");
  }
}

}  // namespace

bool ShiftFormSelected(const tTaskResidue& residue, const tNameRecord& record, unsigned form) {
  if (residue.NameIndex == 0) return false;
  if (form == 0 && residue.Anomeric == kAnomericBeta) return false;
  if (form == 1 && residue.Anomeric == kAnomericAlpha) return false;
  if (form == 1 && (record.RingKind == kAlditol || record.RingKind == kNonSugar)) return false;
  return form <= 1;
}

std::string ShiftFileName(const tNameRecord& record, unsigned form) {
  std::string name = record.RingKind == kAlditol || record.RingKind == kNonSugar ? "c"
                     : form == 0                                                 ? "a"
                                                                                 : "b";
  name += "-" + record.Name + ".dat";
  for (char& c : name) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return kDirectory + name;
}

bool ReadShiftDatabase(const tResidueTable& residues, const tComposition& composition,
                       tShiftTable& table) {
  try {
    try {
      table.Create(ResidueCountOf(composition));
    } catch (const std::bad_alloc&) {
      FatalError("Insufficient memory allocating C13 shifts dataspace");
    }
    for (unsigned i = 1; i < composition.size(); ++i) {
      const tTaskResidue& residue = composition[i];
      const tNameRecord& record = At(residues, residue.NameIndex);
      for (unsigned form = 0; form < 2; ++form) {
        tShiftEntry& entry = table.Entry(i, form);
        entry.NameIndex = residue.NameIndex;
        if (!ShiftFormSelected(residue, record, form)) continue;
        const std::string name = ShiftFileName(record, form);
        tDataFile file;
        if (!OpenDataFile(file, name, name)) return false;
        ReadShiftFile(file, record, entry);
        CloseDataFile(file);
      }
    }
  } catch (const EErrorStop&) {
    return false;
  }
  return true;
}

}  // namespace glycomb
