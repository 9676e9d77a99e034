#include "databases/effects_database.hpp"

#include <new>
#include <utility>
#include <vector>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "databases/data_file.hpp"
#include "databases/descriptor.hpp"
#include "databases/fixed_columns.hpp"
#include "databases/shift_database.hpp"

namespace glycomb {
namespace {

constexpr char kFileName[] = "EFFECTS.PS";

// Layout of an effect line; column 1 is the first character. Descriptor letters, position, form,
// then the effect on C1 of the substituent and one effect per carbon of the residue:
//   noa DaS3 -> 0.5 / -0.3  8.2 -0.9  0.0  0.1 -0.2
constexpr tDescriptorLayout kDescriptorLayout = {.C1Peculiarity = 1,
                                                 .Type = 7,
                                                 .Anomeric = 6,
                                                 .Absolute = 5,
                                                 .C2Group = 2,
                                                 .C2Proton = 3,
                                                 .OpenChainLetters = "OoXx"};
constexpr std::size_t kPositionColumn = 8;
constexpr std::size_t kFormColumn = 9;
constexpr tPunctuation kEffectPrefix[] = {{10, '-'}, {11, '>'}, {18, '/'}};
constexpr tTenthsColumns kC1EffectColumns = {13, 14, 15, 16};
// Value j (1, 2, ...): sign and integer part in three columns, ".", tenths digit.
constexpr tTenthsColumns ValueColumns(std::size_t j) {
  return {14 + 5 * j, 16 + 5 * j, 17 + 5 * j, 18 + 5 * j};
}
// A "#P" line: the residue key in columns 1..8, then the effects on C1 and C2 of the residue.
constexpr std::size_t kResidueKeyLength = 8;
constexpr tTenthsColumns kPhosphateEffectColumns[2] = {{13, 14, 15, 16}, {20, 21, 22, 23}};

constexpr char kUnexpectedEnd[] =
    "Unexpected end of file EFFECTS.PS. It should be ended with an empty block (`#`)";

// Fills the effects of one entry and form from the open file.
class tEffectsReader {
 public:
  tEffectsReader(tDataFile& file, const tNameRecord& record, unsigned form, tShiftEntry& entry)
      : file_(file), record_(record), form_(form), entry_(entry) {}

  void ReadEntry() {
    Rewind();
    try {
      entry_.CreateEffectGrids(record_.CarbonCount);
    } catch (const std::bad_alloc&) {
      FatalError("Insufficient memory allocating effects for " + record_.Name);
    }
    const std::string class_name = ResidueClassName(record_);
    if (!FindLine("#" + class_name)) {
      FatalError("The #" + MissingClassText(class_name) + " data block is missing from " +
                 kFileName);
    }
    ReadBlock("#" + class_name);

    const bool amino = InSet(record_.AminoPositions, 2);
    if (amino && class_name != "non") {
      Rewind();
      const std::string header = "#" + class_name + "n";
      if (FindLine(header)) {
        ReadBlock(header);
      } else {
        ShowWarning("The " + header + " data block is missing from EFFECTS.PS. Taking data from #" +
                    class_name);
      }
    }
    if (record_.Name != class_name && record_.Name != class_name + "n") {
      Rewind();
      const std::string header = "#" + record_.Name;
      if (FindLine(header)) {
        ReadBlock(header);
      } else {
        ShowWarning("The " + header + " data block is missing from EFFECTS.PS. Taking data from #" +
                    class_name + (amino ? "n" : " "));
      }
    }
    if (record_.NLinked == 0) ReadPhosphateEffects();
  }

 private:
  std::string Line() const { return std::to_string(file_.LineNumber); }
  [[noreturn]] void Fail(const std::string& message) const {
    FatalError(message + ", file EFFECTS.PS, line " + Line());
  }
  unsigned CarbonCount() const { return record_.CarbonCount; }

  std::string MissingClassText(const std::string& class_name) const {
    const std::string count = std::to_string(CarbonCount());
    if (class_name.starts_with("ald")) return class_name + " (C" + count + "-alditols generally)";
    if (class_name.starts_with("fur")) return class_name + " (C" + count + "-furanoses generally)";
    if (class_name == "non") return "non (all unlisted residues generally)";
    return class_name;
  }

  void Rewind() {
    if (!RewindDataFile(file_)) {
      FatalError("Could not reopen EFFECTS.PS. Try restarting the program.");
    }
  }

  // Reads data lines up to the one that, trimmed, is `text`; false when none is left.
  bool FindLine(const std::string& text) {
    for (std::string line = ReadDataLine(file_); !line.empty(); line = ReadDataLine(file_)) {
      if (Trim(line) == text) return true;
    }
    return false;
  }

  // Reads the lines of the block whose header is the current line, up to the next "#" line.
  void ReadBlock(const std::string& header) {
    const bool non_mode = header == "#non";
    for (;;) {
      const std::string line = ReadDataLine(file_);
      if (line.empty()) FatalError(kUnexpectedEnd);
      if (line[0] == '#') return;
      ReadEffectLine(line, non_mode);
    }
  }

  void ReadEffectLine(const std::string& line, bool non_mode) {
    const std::size_t value_count = non_mode ? 2 : CarbonCount();
    for (std::size_t k = 1; k <= value_count; ++k) {
      if (line.size() < ValueColumns(k).Tenths) {
        FatalError("The file EFFECTS.PS is corrupted, line " + Line());
      }
      if (ColumnChar(line, ValueColumns(k).Point) != '.') Fail("Wrong effects dataset");
    }
    for (const tPunctuation& p : kEffectPrefix) {
      if (ColumnChar(line, p.Column) != p.Letter) Fail("Wrong effect prefix");
    }
    if (ColumnChar(line, kC1EffectColumns.Point) != '.') Fail("Wrong C1 effect");
    const char form = ColumnChar(line, kFormColumn);
    if (form != ' ' && form != 'a' && form != 'b') {
      Fail("Wrong anomeric configuration of the substituted residue");
    }
    if ((form == 'a' && form_ == 1) || (form == 'b' && form_ == 0)) return;

    unsigned first = 2;
    unsigned last = CarbonCount();
    if (!non_mode) {
      const char digit = ColumnChar(line, kPositionColumn);
      if (digit < '0' || digit > '9') {
        Fail("Could not interpret substitution position in qualifier");
      }
      first = last = static_cast<unsigned>(digit - '0');
      if (first < 2 || first > CarbonCount()) {
        Fail("The substitution position is beyond the bound of 2.." +
             std::to_string(CarbonCount()) + " allowed for " + record_.Name);
      }
    }
    const unsigned cell = DecodeSubstituent(line);

    bool any_position = false;
    for (unsigned p = first; p <= last; ++p) any_position |= InSet(record_.OSubstitutable, p);
    if (!any_position) return;

    realdata1e set;
    set.C1Effect = ReadC1Effect(line);
    if (non_mode) {
      const auto [alpha, beta] = ReadNonEffects(line);
      for (unsigned p = first; p <= last; ++p) {
        if (!InSet(record_.OSubstitutable, p)) continue;
        set.Shifts.fill(0);
        set.Shifts[p - 1] = alpha;
        set.Shifts[p - 2] = beta;
        if (p + 1 <= CarbonCount()) set.Shifts[p] = beta;
        Put(p, cell, set);
      }
    } else {
      ReadCarbonEffects(line, set);
      Put(first, cell, set);
    }
  }

  unsigned DecodeSubstituent(const std::string& line) const {
    tDescriptorFault fault;
    const unsigned cell = DecodeDescriptor(line, kDescriptorLayout, fault);
    switch (fault) {
      case tDescriptorFault::kNone:
        break;
      case tDescriptorFault::kC1Peculiarity:
        Fail("Could not determine the substituent C1 peculiarities");
      case tDescriptorFault::kType:
        FatalError(
            "Could not determine the substituent type, file EFFECTS.PS, line " + Line() +
            kLineBreak +
            "It should be one of: S(pyranose),F(furanose),A(alditol),P(phosphate),N(not a sugar).");
      case tDescriptorFault::kAnomeric:
        Fail(
            "The anomeric configuration of the substituent of S or F type should be either "
            "a(alpha) or b(beta)");
      case tDescriptorFault::kAbsolute:
        Fail("The substituent absolute configuration should be either DD(same) or DL(different)");
      case tDescriptorFault::kC2Group:
        Fail(
            "The type of group at C2 of the substituent should be either O(hydroxy) or N(amino) or "
            "D(desoxy)");
      case tDescriptorFault::kC2Proton:
        Fail(
            "The orientation of proton at C2 of the second substituent should be either a(axial) or "
            "e(equatorial) or o(open chain)");
    }
    return cell;
  }

  std::uint8_t ReadC1Effect(const std::string& line) const {
    const tTenthsColumns& c = kC1EffectColumns;
    const auto value = ParseInteger(TenthsText(line, c.First, c.Last, c.Tenths));
    if (!value) FatalError("Could not interpret the C1\" effect in EFFECTS.PS, line " + Line());
    if (*value < 0 || *value > 255) Fail("The effect on C1\" is beyond the bounds of 0..+25.5");
    return static_cast<std::uint8_t>(*value);
  }

  // The texts of the values of an effect line, up to the first empty one.
  static std::vector<std::string> ValueTexts(const std::string& line) {
    std::vector<std::string> texts;
    for (std::size_t j = 1;; ++j) {
      const tTenthsColumns c = ValueColumns(j);
      std::string text = Trim(TenthsText(line, c.First, c.Last, c.Tenths));
      if (text.empty()) return texts;
      texts.push_back(std::move(text));
    }
  }

  void ReadCarbonEffects(const std::string& line, realdata1e& set) const {
    const std::vector<std::string> texts = ValueTexts(line);
    for (std::size_t j = 1; j <= texts.size(); ++j) {
      const auto value = ParseInteger(texts[j - 1]);
      if (!value) {
        FatalError("Could not interpret the effect for C" + std::to_string(j) +
                   " in EFFECTS.PS, line " + Line());
      }
      if (j <= set.Shifts.size()) set.Shifts[j - 1] = *value;
    }
    if (texts.empty()) {
      FatalError("The line " + Line() + " in EFFECTS.PS contains no spectral data");
    }
    if (texts.size() != CarbonCount()) {
      FatalError("The number of effects specified in EFFECTS.PS (line " + Line() +
                 ") differs from " + std::to_string(CarbonCount()) + ", which should be in " +
                 record_.Name);
    }
  }

  // The alpha- and the beta-effect of a "#non" line.
  std::pair<std::int32_t, std::int32_t> ReadNonEffects(const std::string& line) const {
    const std::vector<std::string> texts = ValueTexts(line);
    std::int32_t values[2] = {0, 0};
    static constexpr const char* kNames[2] = {"a", "b"};
    for (std::size_t j = 0; j < texts.size() && j < 2; ++j) {
      const auto value = ParseInteger(texts[j]);
      if (!value) {
        Fail(std::string("Could not interpret the ") + kNames[j] + "-effect in #non block");
      }
      if (*value < -128 || *value > 127) {
        Fail(std::string("The ") + kNames[j] +
             "-effect in #non block exceed the bounds of -12.7..+12.7");
      }
      values[j] = *value;
    }
    if (texts.size() != 2) {
      Fail(
          "The number of effects specified in #non block should be three for each line (effect on "
          "C1\", alpha-effect, beta-effect)");
    }
    return {values[0], values[1]};
  }

  void Put(unsigned position, unsigned cell, const realdata1e& set) {
    try {
      entry_.PutEffect(position, cell, set);
    } catch (const std::bad_alloc&) {
      FatalError("Insufficient memory for reading effect data, file EFFECTS.PS");
    }
  }

  void ReadPhosphateEffects() {
    Rewind();
    if (!FindLine("#P")) {
      FatalError(
          "The #P (phosphate) data block is missing from EFFECTS.PS. It should be the last block "
          "in the file.");
    }
    const std::string key =
        EffectCode(record_.RingKind, record_.C1Peculiarity, record_.C2Substituent,
                   record_.C2ProtonOrientation, static_cast<std::uint8_t>(form_), "XX", 1);
    std::string line;
    for (;;) {
      line = ReadDataLine(file_);
      if (line.empty()) FatalError(kUnexpectedEnd);
      if (Trim(line) == "#") {
        FatalError("The " + key + " -> effect is missing from block #P of EFFECTS.PS");
      }
      if (line.compare(0, kResidueKeyLength, key) == 0) break;
    }
    static constexpr const char* kCarbons[2] = {"C1", "C2"};
    std::int8_t effects[2] = {0, 0};
    for (int i = 0; i < 2; ++i) {
      const tTenthsColumns& c = kPhosphateEffectColumns[i];
      const auto value = ParseInteger(TenthsText(line, c.First, c.Last, c.Tenths));
      if (!value) {
        FatalError(std::string("Could not interpret the ") + kCarbons[i] +
                   "\" effect in EFFECTS.PS, line " + Line());
      }
      if (*value < -128 || *value > 127) {
        Fail(std::string("The effect on ") + kCarbons[i] +
             "\" is beyond the bounds of -9.9..+12.7");
      }
      effects[i] = static_cast<std::int8_t>(*value);
    }
    entry_.PhosphateC1Effect = effects[0];
    entry_.PhosphateC2Effect = effects[1];
  }

  tDataFile& file_;
  const tNameRecord& record_;
  const unsigned form_;
  tShiftEntry& entry_;
};

}  // namespace

std::string EffectCode(std::uint8_t type, std::uint8_t c1_peculiarity, std::uint8_t c2_group,
                       std::uint8_t c2_proton, std::uint8_t anomeric,
                       const std::string& absolute_text, std::uint8_t position) {
  static constexpr char kTypeLetters[] = {'S', 'F', 'A', 'N'};
  static constexpr char kAnomericLetters[] = {'a', 'b'};
  static constexpr char kC2ProtonLetters[] = {'e', 'a', 'o'};
  static constexpr char kC2GroupLetters[] = {'n', 'o', 'd'};
  static constexpr char kC1PeculiarityLetters[] = {'n', 'c', 'a', 'n'};
  std::string code;
  code += c1_peculiarity == kC1Phosphate ? 'P' : At(kTypeLetters, type);
  code += std::to_string(position);
  const char anomeric_letter = type >= 2 ? 'x' : At(kAnomericLetters, anomeric);
  code = absolute_text.substr(0, 2) + anomeric_letter + code;
  code = At(kC2ProtonLetters, c2_proton) + code;
  code = At(kC2GroupLetters, c2_group) + code;
  code = At(kC1PeculiarityLetters, c1_peculiarity) + code;
  return code;
}

bool ReadEffectsDatabase(const tResidueTable& residues, const tComposition& composition,
                       tShiftTable& table) {
  tDataFile file;
  try {
    // The open question can end in a fatal console error too.
    if (!OpenDataFile(file, kFileName, kFileName)) return false;
    for (unsigned i = 1; i < composition.size(); ++i) {
      const tTaskResidue& residue = composition[i];
      const tNameRecord& record = At(residues, residue.NameIndex);
      for (unsigned form = 0; form < 2; ++form) {
        if (!ShiftFormSelected(residue, record, form)) continue;
        tEffectsReader(file, record, form, table.Entry(i, form)).ReadEntry();
      }
    }
  } catch (const EErrorStop&) {
    return false;
  }
  CloseDataFile(file);
  return true;
}

}  // namespace glycomb
