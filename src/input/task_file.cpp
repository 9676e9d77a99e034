#include "input/task_file.hpp"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cstdint>
#include <functional>
#include <limits>
#include <new>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "databases/data_file.hpp"
#include "input/file_names.hpp"
#include "topology/topology_catalogue.hpp"

namespace glycomb {
namespace {

constexpr char kTaskExtension[] = ".TSK";
constexpr char kResultExtension[] = ".RES";

// Composition token: [c1 c2 ")"] A B Name. The constraint prefix is exactly three characters,
// the bracket being the third; after it come the anomeric letter, the absolute letter and the
// name, so the rest needs at least three characters.
constexpr std::size_t kPrefixLength = 3;
constexpr std::size_t kBracketIndex = 2;
constexpr std::size_t kMinRestLength = 3;
constexpr std::size_t kNameStart = 2;
constexpr char kPhosphateToken[] = "P";

// A spectrum value is read from its first four characters, whatever follows them: "10345"
// reads as 1034 and "06201" as 0620. Four characters also bound the value to -999..9999.
constexpr std::size_t kShiftCharacters = 4;

// Option keywords, recognised without regard to case at the very start of a line.
constexpr std::string_view kWideSpreadKeyword = "WIDESPREAD";
constexpr std::string_view kSpinSystemsKeyword = "SPINSYSTEMS";
constexpr std::string_view kAutoCorrection = "AUTO";
constexpr std::string_view kCorrectionKeyword = "CORRECTION:";
constexpr std::string_view kLimitKeyword = "LIMIT:";
constexpr std::string_view kReportKeyword = "REPORT";
constexpr std::string_view kDistinctKeyword = "DISTINCT";
constexpr std::string_view kLinkKeyword = "LINK:";
constexpr std::int64_t kMinCorrection = -128;
constexpr std::int64_t kMaxCorrection = 127;
constexpr std::uint8_t kDefaultLimit = 20;
constexpr std::int64_t kMaxLimit = 99;
constexpr std::int64_t kMaxLimitField = 255;

// Carbons 2..9, the positions that can carry a substituent.
constexpr tPositionSet kLinkablePositions = 0x03FC;

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= 32; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsPosition(std::uint8_t code) { return code >= 2 && code <= 9; }

char UpperCase(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

// The blank-separated words of `text`; tabs and other control characters separate words too.
std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && IsBlank(text[at])) ++at;
    const std::size_t start = at;
    while (at < text.size() && !IsBlank(text[at])) ++at;
    if (at > start) words.push_back(text.substr(start, at - start));
  }
  return words;
}

// `text` trimmed, with every run of blanks reduced to one blank.
std::string ReduceBlanks(const std::string& text) {
  std::string reduced;
  for (const std::string& word : Words(text)) {
    if (!reduced.empty()) reduced += ' ';
    reduced += word;
  }
  return reduced;
}

bool StartsWithNoCase(std::string_view line, std::string_view keyword) {
  if (line.size() < keyword.size()) return false;
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    if (UpperCase(line[i]) != keyword[i]) return false;
  }
  return true;
}

// Splits an optional sign off `text`; false when nothing but digits (at least one) is left.
bool SplitSignedDigits(std::string_view& text, bool& negative) {
  negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  if (text.empty()) return false;
  for (char c : text) {
    if (!IsDigit(c)) return false;
  }
  return true;
}

// A spectrum value: its first kShiftCharacters characters must be an optional sign and digits.
std::optional<std::int32_t> ParseShift(std::string_view token) {
  bool negative = false;
  token = token.substr(0, kShiftCharacters);
  if (!SplitSignedDigits(token, negative)) return std::nullopt;
  std::int32_t value = 0;
  for (char c : token) value = value * 10 + (c - '0');
  return negative ? -value : value;
}

// The number of an option line: leading blanks, an optional sign and digits up to the end of the
// line. Values beyond 64 bits are clamped; they lie outside every range an option accepts.
std::optional<std::int64_t> ParseOptionNumber(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  bool negative = false;
  if (!SplitSignedDigits(text, negative)) return std::nullopt;
  std::uint64_t magnitude = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), magnitude);
  constexpr auto kMax = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (result.ec == std::errc::result_out_of_range || magnitude > kMax) magnitude = kMax;
  const auto value = static_cast<std::int64_t>(magnitude);
  return negative ? -value : value;
}

// Whether the rest of a CORRECTION: line asks for the automatic offset: AUTO in any case, blanks
// around it allowed.
bool IsAutoCorrection(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text.size() == kAutoCorrection.size() && StartsWithNoCase(text, kAutoCorrection);
}

// "6", "6 and 3", "6, 6 and 3".
std::string CountList(const std::vector<std::uint8_t>& counts) {
  std::string list;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    if (i > 0) list += i + 1 == counts.size() ? " and " : ", ";
    list += std::to_string(counts[i]);
  }
  return list;
}

// Code of a constraint character: a position 2..9, any position, or no substituent.
std::optional<std::uint8_t> ConstraintCode(char c) {
  if (c >= '2' && c <= '9') return static_cast<std::uint8_t>(c - '0');
  if (c == '?') return kAnyPosition;
  if (c == 'x' || c == 'X') return kNoSubstituent;
  return std::nullopt;
}

std::optional<std::uint8_t> AnomericCode(char c) {
  switch (c) {
    case 'a': case 'A': return kAnomericAlpha;
    case 'b': case 'B': return kAnomericBeta;
    case 'c': case 'C': case 'x': case 'X': return kAnomericNone;
    case '?': return kAnomericUnknown;
    default: return std::nullopt;
  }
}

std::optional<std::uint8_t> AbsoluteCode(char c) {
  switch (c) {
    case 'd': case 'D': return kAbsoluteD;
    case 'l': case 'L': return kAbsoluteL;
    case '?': return kAbsoluteUnknown;
    default: return std::nullopt;
  }
}

unsigned LinkablePositionCount(tPositionSet set) {
  return static_cast<unsigned>(std::popcount(static_cast<tPositionSet>(set & kLinkablePositions)));
}

// Reads the data lines of an open task file into the task; every error ends through FatalError.
class TaskReader {
 public:
  TaskReader(const tResidueTable& residues, tTask& task, tDataFile& file)
      : residues_(residues), task_(task), file_(file) {}

  void Read() {
    ReadComposition();
    const std::string first_option_line = ReadSpectrum();
    CheckSignalCount();
    ReadOptions(first_option_line);
    if (task_.SpinSystems != 0) MatchSpinSystems();
    CheckLinks();
    CheckPositions();
    if (task_.WideSpread != 0) CheckWideSpreadAlditols();
  }

 private:
  const std::string& File() const { return file_.DisplayName; }
  std::string Line() const { return std::to_string(file_.LineNumber); }
  std::string FileAndLine() const { return ", file " + File() + ", line " + Line(); }

  void ReadComposition() {
    const std::string line = ReadDataLine(file_);
    if (line.empty()) FatalError(File() + " contains no data");
    task_.CompositionText = ReduceBlanks(line);
    std::size_t index = 0;
    for (std::string token : Words(line)) {
      ++index;
      if (index > kMaxResidues) {
        FatalError("Too many residues specified in " + File() + ", line " + Line());
      }
      if (token.back() == 'p') token.back() = 'P';
      try {
        task_.Residues.resize(index + 1);
      } catch (const std::bad_alloc&) {
        FatalError("Insufficient memory for reading a task");
      }
      task_.Residues[index] = ReadResidue(token, index);
    }
    task_.ResidueCount = Narrow<std::uint8_t>(index);
  }

  tTaskResidue ReadResidue(const std::string& token, std::size_t index) {
    if (token == kPhosphateToken) {
      // The phosphate reads as D, as in the structure notation, so that a search and /CALC
      // describe it alike to the residue carrying it.
      return tTaskResidue{.NameIndex = 0,
                          .Anomeric = kAnomericNone,
                          .Absolute = kAbsoluteD,
                          .Subst1 = kAnyPosition,
                          .Subst2 = kNoSubstituent};
    }
    const std::string residue = ", residue " + std::to_string(index);
    const std::string tail = FileAndLine() + residue + " [" + token + "]";
    for (std::size_t at = 0; at < token.size(); ++at) {
      if (token[at] == ')' && at != kBracketIndex) {
        FatalError("There should be exactly 2 symbols before )-sign or no constraints at all" +
                   tail);
      }
    }
    tTaskResidue entry;
    std::string_view rest = token;
    if (token.size() > kBracketIndex && token[kBracketIndex] == ')') {
      const auto first = ConstraintCode(token[0]);
      if (!first) {
        FatalError("Wrong constraint for the first substitution specified, File " + File() +
                   ", line " + Line() + residue + " [" + token + "]");
      }
      const auto second = ConstraintCode(token[1]);
      if (!second) FatalError("Wrong constraint for the second substitution specified" + tail);
      entry.Subst1 = *first;
      entry.Subst2 = *second;
      rest.remove_prefix(kPrefixLength);
    } else {
      entry.Subst1 = kAnyPosition;
      entry.Subst2 = kAnyPosition;
    }
    if (rest.size() < kMinRestLength) {
      FatalError(token + " is too short to be a residue name" + FileAndLine());
    }
    const auto anomeric = AnomericCode(rest[0]);
    if (!anomeric) FatalError("Wrong anomeric configuration specified" + tail);
    entry.Anomeric = *anomeric;
    const auto absolute = AbsoluteCode(rest[1]);
    if (!absolute) {
      FatalError("Wrong absolute configuration specified" + FileAndLine() + residue + " (" + token +
                 ")");
    }
    entry.Absolute = *absolute;
    const std::string name(rest.substr(kNameStart));
    entry.NameIndex = FindResidueName(residues_, name);
    if (entry.NameIndex == kNameNotFound) {
      FatalError("The unknown residue name (" + name + ") is detected in " + File() + ", line " +
                 Line() + kLineBreak +
                 "See NAMES.PS for the list of available names and add the new name if required.");
    }
    CheckAgainstNames(entry, name, index);
    return entry;
  }

  // The composition entry must agree with what NAMES.PS says about its residue.
  void CheckAgainstNames(const tTaskResidue& entry, const std::string& name, std::size_t index) {
    const tNameRecord& record = At(residues_, entry.NameIndex);
    const std::string the_residue =
        "Accordingly to NAMES.PS, the residue " + name + " (" + File() + ", line " + Line();
    const bool has_anomeric_forms = record.RingKind == kPyranose || record.RingKind == kFuranose;
    if (entry.Anomeric == kAnomericNone && has_anomeric_forms) {
      FatalError(the_residue + ") should have either alfa(a) or beta(b) anomeric configuration");
    }
    if ((entry.Anomeric == kAnomericAlpha || entry.Anomeric == kAnomericBeta) &&
        !has_anomeric_forms) {
      FatalError(the_residue + ") has no anomeric forms." + kLineBreak +
                 "\"c\" should be specified as its anomeric configuration");
    }
    for (const std::uint8_t position : {entry.Subst1, entry.Subst2}) {
      if (IsPosition(position) && !InSet(record.OSubstitutable, position) &&
          !InSet(record.NSubstitutable, position)) {
        FatalError(the_residue + ") can not be substituted at position " +
                   std::to_string(position));
      }
    }
    const std::string where = FileAndLine() + ", residue " + std::to_string(index);
    if (entry.Subst1 == entry.Subst2 && IsPosition(entry.Subst1)) {
      FatalError("Constraints for two substitution positions can not be the same " + where + " [" +
                 name + "]");
    }
    if (entry.Subst1 == kNoSubstituent && entry.Subst2 != kNoSubstituent) {
      FatalError("Wrong constraints for substitution positions" + where + " (" + name +
                 "). Linear residues should be described as \"Nx)\"");
    }
  }

  // The number of carbons of the composition: one spectrum value each.
  std::size_t ExpectedSignals() const {
    std::size_t expected = 0;
    for (std::size_t i = 1; i < task_.Residues.size(); ++i) {
      const tNameRecord& record = At(residues_, task_.Residues[i].NameIndex);
      expected = CheckedAdd<std::size_t>(expected, record.CarbonCount);
    }
    return expected;
  }

  // Reads the spectrum lines; returns the first line after them (trimmed, blanks reduced), or an
  // empty text when the file ends with the spectrum. Every value is checked and counted, but only
  // as many as the composition has carbons are kept, so that a file of millions of values costs
  // no memory; CheckSignalCount refuses any other count. Where each line's values stand is kept
  // as well, for the spin systems.
  std::string ReadSpectrum() {
    std::string line = ReadDataLine(file_);
    if (line.empty()) FatalError(File() + " contains no spectral data");
    line = ReduceBlanks(line);
    const std::size_t expected = ExpectedSignals();
    do {
      if (spectrum_values_ < expected) {
        spectrum_lines_.push_back({file_.LineNumber, task_.Spectrum.size(), 0});
      }
      for (const std::string& value : Words(line)) {
        const auto shift = ParseShift(value);
        if (!shift) FatalError("The input file " + File() + " is corrupted, line " + Line());
        if (++spectrum_values_ > expected) continue;
        try {
          task_.Spectrum.push_back(*shift);
        } catch (const std::bad_alloc&) {
          FatalError("Insufficient memory for reading a spectrum");
        }
        ++spectrum_lines_.back().Count;
      }
      line = ReduceBlanks(ReadDataLine(file_));
    } while (!line.empty() && IsDigit(line.front()));
    return line;
  }

  void CheckSignalCount() const {
    const std::size_t expected = ExpectedSignals();
    if (spectrum_values_ != expected) {
      FatalError("The file " + File() + " contains chemical shifts for " +
                 std::to_string(spectrum_values_) +
                 " signals, while according to NAMES.PS this monomeric composition should give " +
                 std::to_string(expected) + " signals");
    }
  }

  // The first option line has been trimmed by ReadSpectrum; later lines are taken as read, so a
  // blank before a keyword hides it.
  void ReadOptions(std::string line) {
    task_.Correction = 0;
    task_.Limit = kDefaultLimit;
    task_.WideSpread = 0;
    task_.SpinSystems = 0;
    task_.AutoCorrection = 0;
    task_.Report = 0;
    task_.Distinct = 0;
    task_.Links.clear();
    link_lines_.clear();
    for (; !line.empty(); line = ReadDataLine(file_)) ApplyOption(line);
  }

  // "LINK: i (1->p) j", blanks allowed between the parts: spin systems i and j, a position of
  // 2..9 or "?".
  void ReadLink(std::string_view text) {
    std::size_t at = 0;
    const auto blanks = [&] {
      while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) ++at;
    };
    const auto literal = [&](std::string_view word) {
      blanks();
      if (text.substr(at, word.size()) != word) return false;
      at += word.size();
      return true;
    };
    const auto number = [&]() -> std::optional<unsigned> {
      blanks();
      const std::size_t start = at;
      unsigned value = 0;
      while (at < text.size() && text[at] >= '0' && text[at] <= '9' && at - start < 4) {
        value = value * 10 + static_cast<unsigned>(text[at++] - '0');
      }
      if (at == start || (at < text.size() && text[at] >= '0' && text[at] <= '9')) return std::nullopt;
      return value;
    };
    const auto from = number();
    const bool arrow = literal("(") && literal("1") && literal("->");
    blanks();
    const char position = at < text.size() ? text[at++] : '\0';
    const bool closed = literal(")");
    const auto to = number();
    blanks();
    if (!from || !arrow || !closed || !to || at != text.size() ||
        !(position == '?' || (position >= '2' && position <= '9'))) {
      FatalError("Could not interpret the LINK line; it should read LINK: i (1->p) j with spin "
                 "systems i and j and a position p of 2..9 or ?" +
                 FileAndLine());
    }
    tLink link;
    link.From = static_cast<std::uint8_t>(std::min(*from, 255u));
    link.To = static_cast<std::uint8_t>(std::min(*to, 255u));
    link.Position = position == '?' ? 0 : static_cast<std::uint8_t>(position - '0');
    link.Text = "LINK: " + std::to_string(*from) + " (1->" + position + ") " + std::to_string(*to);
    task_.Links.push_back(link);
    link_lines_.push_back(file_.LineNumber);
  }

  void ApplyOption(const std::string& line) {
    if (StartsWithNoCase(line, kWideSpreadKeyword)) {
      task_.WideSpread = 1;
    } else if (StartsWithNoCase(line, kSpinSystemsKeyword)) {
      task_.SpinSystems = 1;
    } else if (StartsWithNoCase(line, kReportKeyword)) {
      task_.Report = 1;
    } else if (StartsWithNoCase(line, kDistinctKeyword)) {
      task_.Distinct = 1;
    } else if (StartsWithNoCase(line, kLinkKeyword)) {
      ReadLink(std::string_view(line).substr(kLinkKeyword.size()));
    } else if (StartsWithNoCase(line, kCorrectionKeyword) &&
               IsAutoCorrection(std::string_view(line).substr(kCorrectionKeyword.size()))) {
      task_.AutoCorrection = 1;
    } else if (StartsWithNoCase(line, kCorrectionKeyword)) {
      const auto value =
          ParseOptionNumber(std::string_view(line).substr(kCorrectionKeyword.size()));
      if (!value || *value < kMinCorrection || *value > kMaxCorrection) {
        ShowWarning(
            "Spectrum correction is specified incorrectly or exceeds the range of -12.7..+12.7" +
            FileAndLine() + kLineBreak + "Continuing with no correction");
        return;
      }
      task_.Correction = static_cast<std::int8_t>(*value);
      for (std::int32_t& shift : task_.Spectrum) shift = CheckedAdd<std::int32_t>(shift, *value);
    } else if (StartsWithNoCase(line, kLimitKeyword)) {
      const auto value = ParseOptionNumber(std::string_view(line).substr(kLimitKeyword.size()));
      const std::string continuing =
          std::string(kLineBreak) + "Continuing with limit=" + std::to_string(kDefaultLimit);
      if (!value || *value < 0 || *value > kMaxLimitField) {
        ShowWarning("The number of structures is specified incorrectly or exceeds " +
                    std::to_string(kMaxLimitField) + FileAndLine() + continuing);
        task_.Limit = kDefaultLimit;
      } else if (*value < 1 || *value > kMaxLimit) {
        ShowWarning("The number of structures exceeds bounds of 1.." + std::to_string(kMaxLimit) +
                    FileAndLine() + continuing);
        task_.Limit = kDefaultLimit;
      } else {
        task_.Limit = static_cast<std::uint8_t>(*value);
      }
    }
  }

  // With SPINSYSTEMS every spectrum line is the spin system of one residue: the lines, in the
  // order of the file, are given to composition entries of their length one by one.
  void MatchSpinSystems() {
    std::vector<std::uint8_t> needed;  // carbon counts of the entries not matched yet
    for (std::size_t i = 1; i < task_.Residues.size(); ++i) {
      const std::uint8_t carbons = At(residues_, task_.Residues[i].NameIndex).CarbonCount;
      if (carbons > 0) needed.push_back(carbons);
    }
    std::sort(needed.begin(), needed.end(), std::greater<>());
    for (const tSpectrumLine& line : spectrum_lines_) {
      const auto match = std::find_if(needed.begin(), needed.end(),
                                      [&](std::uint8_t carbons) { return carbons == line.Count; });
      if (match == needed.end()) {
        FatalError("The spin system of " + std::to_string(line.Count) + " shifts in " + File() +
                   ", line " + std::to_string(line.LineNumber) +
                   " matches no residue of the composition, which still needs " +
                   (needed.empty() ? std::string("no spin system")
                                   : "spin systems of " + CountList(needed) + " carbons"));
      }
      needed.erase(match);
      const auto first = task_.Spectrum.begin() + static_cast<std::ptrdiff_t>(line.First);
      signal_array values(first, first + static_cast<std::ptrdiff_t>(line.Count));
      task_.SpinLines.push_back(std::move(values));
    }
  }

  // The LINK lines must name spin systems of the task, two different ones, a position that a
  // residue of the second can carry, each spin system attached once through its carbon 1, and no
  // cycle shorter than the main chains of the composition's topologies.
  void CheckLinks() const {
    std::vector<unsigned> attached(task_.SpinLines.size() + 1, 0);
    for (std::size_t k = 0; k < task_.Links.size(); ++k) {
      const tLink& link = task_.Links[k];
      const std::string at = ", file " + File() + ", line " + std::to_string(link_lines_[k]);
      if (task_.SpinSystems == 0) {
        FatalError("LINK lines need SPINSYSTEMS: they name spin systems by their numbers" + at);
      }
      for (const std::uint8_t line : {link.From, link.To}) {
        if (line < 1 || line > task_.SpinLines.size()) {
          FatalError("There is no spin system " + std::to_string(line) + " for the LINK line: "
                     "the spectrum has " + std::to_string(task_.SpinLines.size()) + at);
        }
      }
      if (link.From == link.To) {
        FatalError("A LINK line cannot attach spin system " + std::to_string(link.From) +
                   " to itself" + at);
      }
      if (link.Position != 0 && !CanCarry(task_.SpinLines[link.To - 1u].size(), link.Position)) {
        FatalError("No residue of the composition with " +
                   std::to_string(task_.SpinLines[link.To - 1u].size()) +
                   " carbons, as spin system " + std::to_string(link.To) +
                   " has, can carry a residue at position " + std::to_string(link.Position) + at);
      }
      if (++attached[link.From] > 1) {
        FatalError("Spin system " + std::to_string(link.From) +
                   " is attached through its carbon 1 by two LINK lines" + at);
      }
    }
    CheckLinkCycles();
  }

  // Whether some composition entry of `carbons` carbons has `position` substitutable.
  bool CanCarry(std::size_t carbons, std::uint8_t position) const {
    for (std::size_t i = 1; i < task_.Residues.size(); ++i) {
      const tNameRecord& record = At(residues_, task_.Residues[i].NameIndex);
      if (record.CarbonCount == carbons && position <= carbons &&
          InSet(record.OSubstitutable | record.NSubstitutable, position)) {
        return true;
      }
    }
    return false;
  }

  // Following the LINK lines from spin system to spin system: a cycle is the main chain, which
  // no topology of this composition has that short.
  void CheckLinkCycles() const {
    std::vector<std::uint8_t> next(task_.SpinLines.size() + 1, 0);
    std::vector<std::size_t> line_of(task_.SpinLines.size() + 1, 0);
    for (std::size_t k = 0; k < task_.Links.size(); ++k) {
      next[task_.Links[k].From] = task_.Links[k].To;
      line_of[task_.Links[k].From] = link_lines_[k];
    }
    std::size_t shortest = kMaxResidues;
    tTopologyTable topologies;
    if (!BuildTopologyCatalogue(task_.ResidueCount, topologies)) return;
    for (const tTopology& topology : topologies) {
      if (task_.WideSpread != 0 && topology.Shape == kShapeRare) continue;
      shortest = std::min(shortest, topology.MainChain.count());
    }
    for (std::uint8_t start = 1; start < next.size(); ++start) {
      std::size_t length = 0, closing = 0;  // the last line of the cycle read closes it
      std::uint8_t at = start;
      while (next[at] != 0 && length <= next.size()) {
        closing = std::max(closing, line_of[at]);
        at = next[at];
        ++length;
        if (at == start) break;
      }
      if (at == start && length > 0 && length < shortest) {
        FatalError("The LINK lines close a cycle of " + std::to_string(length) +
                   " residues, and no main chain of this composition is shorter than " +
                   std::to_string(shortest) + ", file " + File() + ", line " +
                   std::to_string(closing));
      }
    }
  }

  // Every residue attached through oxygen (nitrogen) needs a free O- (N-) substitutable position.
  void CheckPositions() const {
    unsigned o_linked = 0, n_linked = 0, o_positions = 0, n_positions = 0;
    for (std::size_t i = 1; i < task_.Residues.size(); ++i) {
      const tNameRecord& record = At(residues_, task_.Residues[i].NameIndex);
      ++(record.NLinked != 0 ? n_linked : o_linked);
      o_positions += LinkablePositionCount(record.OSubstitutable);
      n_positions += LinkablePositionCount(record.NSubstitutable);
    }
    if (o_linked > o_positions) {
      FatalError(
          "There are not enough O-substitutable positions to hold all O-linked residues found" +
          FileAndLine());
    }
    if (n_linked > n_positions) {
      FatalError(
          "There are not enough N-substitutable positions to hold all N-linked residues found" +
          FileAndLine());
    }
  }

  // In WIDESPREAD mode every alditol must be able to carry a phosphate.
  void CheckWideSpreadAlditols() const {
    unsigned alditols = 0, phosphates = 0;
    for (std::size_t i = 1; i < task_.Residues.size(); ++i) {
      const std::uint8_t name_index = task_.Residues[i].NameIndex;
      const tNameRecord& record = At(residues_, name_index);
      if (name_index == 0) ++phosphates;
      if (record.RingKind == kAlditol && record.NLinked == 0 &&
          record.C1Peculiarity != kC1Phosphate) {
        ++alditols;
      }
    }
    if (alditols > phosphates) {
      FatalError("There number of phosphate groups exceeds the number of alditols, file " + File() +
                 kLineBreak +
                 "To generate structures with non-phosphorylated alditols turn off WIDESPREAD "
                 "mode in your task file");
    }
  }

  // Where each spectrum line's values stand in the (still unsorted) spectrum.
  struct tSpectrumLine {
    std::size_t LineNumber = 0;
    std::size_t First = 0;
    std::size_t Count = 0;
  };

  const tResidueTable& residues_;
  tTask& task_;
  tDataFile& file_;
  std::vector<tSpectrumLine> spectrum_lines_;  // of the kept values
  std::vector<std::size_t> link_lines_;        // the file line of each LINK line
  std::size_t spectrum_values_ = 0;  // values read, kept or not
};

}  // namespace

bool ReadTaskFile(const std::string& name, const tResidueTable& residues, tTask& task) {
  const std::uint8_t calc_mode = task.CalcMode;
  task = tTask{};
  task.CalcMode = calc_mode;
  const std::string file_name = ForceExtension(name, kTaskExtension);
  task.ResultFileName = OutputFileName(name, kResultExtension);
  tDataFile file;
  try {
    // The open question can end in a fatal console error too.
    if (!OpenDataFile(file, file_name, file_name)) return false;
    TaskReader(residues, task, file).Read();
  } catch (const EErrorStop&) {
    return false;
  }
  CloseDataFile(file, "Could not close");
  SortSpectrum(task.Spectrum);
  return true;
}

void SortSpectrum(signal_array& spectrum) {
  if (spectrum.size() < 2) return;
  std::size_t last = spectrum.size() - 1;
  bool exchanged = false;
  do {
    exchanged = false;
    for (std::size_t j = 0; j < last; ++j) {
      if (spectrum[j] > spectrum[j + 1]) {
        std::swap(spectrum[j], spectrum[j + 1]);
        exchanged = true;
      }
    }
    --last;
  } while (exchanged && last > 0);
}

}  // namespace glycomb
