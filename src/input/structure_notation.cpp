#include "input/structure_notation.hpp"

#include <algorithm>
#include <cstdint>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "databases/data_file.hpp"
#include "input/file_names.hpp"

namespace glycomb {
namespace {

constexpr char kStructureExtension[] = ".STR";
// Option line after the record, recognised without regard to case at the very start of a line.
constexpr std::string_view kReportKeyword = "REPORT";
constexpr std::size_t kMaxTokenLength = 10;
constexpr char kPhosphateToken[] = "P";

// The phosphate carries its one neighbour at this position.
constexpr std::uint8_t kPhosphatePosition = 2;

// A "]" with a position digit on both sides (4]3)) separates two positions of one token instead
// of closing a side chain. While the record is split it is held as this character, which the
// record cannot contain once the check for illegal positions has passed.
constexpr char kSeparatorMark = '1';

// Places (1-based) of ")" and "]" in the position prefixes d) and e]d) of a token.
constexpr std::size_t kOnePositionClose = 2;
constexpr std::size_t kTwoPositionsClose = 4;
constexpr std::size_t kSideChainSeparator = 2;

// A token's node letters: anomeric, then absolute configuration, then the residue name.
constexpr std::size_t kLettersLength = 2;

bool IsPositionDigit(char c) { return c >= '2' && c <= '9'; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

// 1-based place of the first `c` in `text`; 0 when there is none.
std::size_t PlaceOf(const std::string& text, char c) {
  const std::size_t at = text.find(c);
  return at == std::string::npos ? 0 : at + 1;
}

std::string WithSeparatorsRestored(std::string token) {
  std::replace(token.begin(), token.end(), kSeparatorMark, ']');
  return token;
}

// The topology at `index` and the node `node` of a topology, with the internal checks that only
// an inconsistent topology table or structure can fail.
const tTopology& TopologyAt(const tTopologyTable& topologies, std::size_t index) {
  if (index >= topologies.size()) {
    FatalError(
        "Internal error IS_SP1: topology index exceeds bounds of topology array for the current "
        "number of residues");
  }
  return topologies[index];
}

const tTopologyNode& NodeAt(const tTopology& topology, std::size_t node) {
  if (node >= topology.Nodes.size()) {
    FatalError("Internal error IS_SP2: The residue x" + std::to_string(node) +
               " does not exist in topology " + topology.Template);
  }
  return topology.Nodes[node];
}

// Interprets one record; every check reports through FatalError with the context appended.
class RecordParser {
 public:
  RecordParser(const std::string& context, const tResidueTable& residues, tTask& task,
               tTopologyTable& topologies, tStructure& working)
      : context_(context),
        residues_(residues),
        task_(task),
        topologies_(topologies),
        working_(working) {}

  void Parse(std::string record) {
    CheckCharacters(record);
    MarkSeparators(record);
    CheckBrackets(record);
    std::vector<std::string> tokens = SplitTokens(record);
    const std::string shape = RecordShape(record, tokens);
    // No topology has an empty shape; stopping here keeps an empty record away from the
    // catalogue, which has no residue count 0.
    if (tokens.empty()) FatalError("Could not interpret the structure topology" + context_);
    Allocate(tokens.size());
    MatchTopology(shape);
    for (std::string& token : tokens) {
      if (token.ends_with('p')) token.back() = 'P';
      token = WithSeparatorsRestored(token);
    }
    const std::vector<std::string> node_tokens = InNodeOrder(tokens);
    std::vector<std::string> names(node_tokens.size());
    for (std::size_t j = 0; j < node_tokens.size(); ++j) names[j] = ReadNode(j, node_tokens[j]);
    for (std::size_t j = 0; j < names.size(); ++j) {
      if (At(task_.Residues, j + 1).NameIndex != 0) CheckLinkages(j, names[j]);
    }
  }

 private:
  void CheckCharacters(const std::string& record) const {
    if (record.find(' ') != std::string::npos) {
      FatalError("The structure should not contain any spaces" + context_);
    }
    const std::size_t illegal = record.find_first_of("01");
    if (illegal != std::string::npos) {
      FatalError("Illegal substitution position " + Quoted(record.substr(illegal, 1)) +
                 " is specified or bad residue name" + context_);
    }
  }

  static void MarkSeparators(std::string& record) {
    for (std::size_t i = 1; i + 1 < record.size(); ++i) {
      if (record[i] == ']' && IsPositionDigit(record[i - 1]) && IsPositionDigit(record[i + 1])) {
        record[i] = kSeparatorMark;
      }
    }
  }

  // A bracket that closes a side chain must be followed by "-"; the last character is exempt.
  void CheckBrackets(const std::string& record) const {
    for (std::size_t i = 0; i + 1 < record.size(); ++i) {
      if (record[i] == ']' && record[i + 1] != '-') {
        FatalError("Error interpreting the structure record at position " + std::to_string(i + 1) +
                   context_);
      }
    }
  }

  // The residue tokens in written order, each cut to kMaxTokenLength characters.
  std::vector<std::string> SplitTokens(const std::string& record) const {
    std::string rest;
    for (const char c : record) {
      if (c != '[' && c != ']') rest += c;
    }
    // One left-to-right pass: "--" becomes "-", so "---" still leaves an empty token.
    std::string single;
    for (std::size_t i = 0; i < rest.size(); ++i) {
      single += rest[i];
      if (rest[i] == '-' && i + 1 < rest.size() && rest[i + 1] == '-') ++i;
    }
    if (single.starts_with('-')) single.erase(0, 1);
    std::vector<std::string> tokens;
    std::size_t at = 0;
    while (at < single.size()) {
      // A rest without "-" ends no token, so counting it runs up to the limit as well.
      const std::size_t dash = single.find('-', at);
      if (tokens.size() == kMaxResidues || dash == std::string::npos) {
        FatalError("The structure record contains too many residues" + context_);
      }
      tokens.push_back(single.substr(at, std::min(dash - at, kMaxTokenLength)));
      at = dash + 1;
    }
    return tokens;
  }

  // The record with every token replaced by "x" and every "-" removed.
  std::string RecordShape(std::string record, const std::vector<std::string>& tokens) const {
    for (std::size_t i = 0; i < tokens.size(); ++i) {
      const std::string& token = tokens[i];
      const std::size_t at = token.empty() ? std::string::npos : record.find(token);
      if (at == std::string::npos) {
        FatalError("Internal error IS1: structure string does not contain residue " +
                   std::to_string(i + 1) + " recorded as " + WithSeparatorsRestored(token) +
                   context_);
      }
      record.replace(at, token.size(), "x");
    }
    std::erase(record, '-');
    return record;
  }

  void Allocate(std::size_t n) {
    task_.ResidueCount = Narrow<std::uint8_t>(n);
    task_.Residues.assign(n + 1, tTaskResidue{});
    working_.Nodes.assign(n, tStructureNode{});
    // The builder has reported its own failure.
    if (!BuildTopologyCatalogue(task_.ResidueCount, topologies_)) throw EErrorStop();
  }

  void MatchTopology(const std::string& shape) {
    for (std::size_t i = 0; i < topologies_.size(); ++i) {
      if (TopologyShape(topologies_[i].Template) == shape) {
        working_.Topology = Narrow<std::uint8_t>(i);
        return;
      }
    }
    FatalError("Could not interpret the structure topology" + context_);
  }

  // The tokens are written in the topology's written order of nodes.
  std::vector<std::string> InNodeOrder(const std::vector<std::string>& tokens) const {
    const std::vector<std::uint8_t>& order = TopologyAt(topologies_, working_.Topology).WrittenOrder;
    std::vector<std::string> ordered(tokens.size());
    for (std::size_t written = 0; written < order.size(); ++written) {
      At(ordered, order[written]) = At(tokens, written);
    }
    return ordered;
  }

  const tTopologyNode& Links(std::size_t node) const {
    return NodeAt(TopologyAt(topologies_, working_.Topology), node);
  }

  // The position written at `index` of `token`.
  std::uint8_t Position(const std::string& token, std::size_t index) const {
    const char c = At(token, index);
    if (!IsPositionDigit(c)) {
      FatalError("Illegal substitution position " + Quoted(std::string(1, c)) +
                 " is specified in " + Quoted(token) + " residue" + context_);
    }
    return static_cast<std::uint8_t>(c - '0');
  }

  // Sets composition entry j + 1 and node j from `token`; returns the residue name.
  std::string ReadNode(std::size_t j, const std::string& token) {
    tTaskResidue& entry = At(task_.Residues, j + 1);
    tStructureNode& node = At(working_.Nodes, j);
    node.Residue = Narrow<std::uint8_t>(j + 1);
    const std::uint8_t child_count = Links(j).ChildCount;
    if (token == kPhosphateToken) {
      if (child_count == 2) FatalError("The P residue can not be bisubstituted" + context_);
      entry = tTaskResidue{.NameIndex = 0,
                           .Anomeric = kAnomericNone,
                           .Absolute = kAbsoluteD,
                           .Subst1 = kAnyPosition,
                           .Subst2 = kAnyPosition};
      node.Subst1 = child_count == 1 ? kPhosphatePosition : 0;
      return token;
    }

    const std::size_t close = PlaceOf(token, ')');
    const std::size_t separator = PlaceOf(token, ']');
    if (std::count(token.begin(), token.end(), ')') > 1) {
      FatalError("More than one main chains are specified for the residue" + Quoted(token) +
                 context_);
    }
    if (!(((close == 0 || close == kOnePositionClose) && separator == 0) ||
          close == kTwoPositionsClose)) {
      FatalError("Could not locate main chain attachment in " + Quoted(token) + " residue" +
                 context_);
    }
    if (close == kTwoPositionsClose && separator != kSideChainSeparator) {
      FatalError("Could not locate substitution positions in " + Quoted(token) + " residue" +
                 context_);
    }
    const std::string the_residue =
        "According to the topology specified, the residue " + Quoted(token);
    if (child_count == 0 && (close != 0 || separator != 0)) {
      FatalError(the_residue + " is terminal and can have no substitutions" + context_);
    }
    if (child_count == 1 && (close == 0 || separator != 0)) {
      FatalError(the_residue + " is monosubstituted" + context_ + kLineBreak +
                 "Position should be specified as x)");
    }
    if (child_count == 2 && (close == 0 || separator == 0)) {
      FatalError(the_residue + " is bisubstituted" + context_ + kLineBreak +
                 "Position should be specified as x]y)");
    }
    node.Subst1 = close != 0 ? Position(token, close - 2) : 0;
    node.Subst2 = separator == kSideChainSeparator ? Position(token, 0) : 0;
    if (node.Subst1 != 0 && node.Subst1 == node.Subst2) {
      FatalError("Both side and main chains can not be attached to one position (" +
                 std::to_string(node.Subst1) + ") in " + token + context_);
    }

    const std::string letters = token.substr(close);
    entry.Subst1 = kAnyPosition;
    entry.Subst2 = kAnyPosition;
    const char anomeric = letters.empty() ? '\0' : letters[0];
    if (anomeric == 'a' || anomeric == 'A') {
      entry.Anomeric = kAnomericAlpha;
    } else if (anomeric == 'b' || anomeric == 'B') {
      entry.Anomeric = kAnomericBeta;
    } else if (anomeric == 'c' || anomeric == 'C') {
      entry.Anomeric = kAnomericNone;
    } else {
      FatalError("Could not retrieve the anomeric configuration for " + letters + " residue" +
                 context_);
    }
    const char absolute = letters.size() < kLettersLength ? '\0' : letters[1];
    if (absolute == 'd' || absolute == 'D') {
      entry.Absolute = kAbsoluteD;
    } else if (absolute == 'l' || absolute == 'L') {
      entry.Absolute = kAbsoluteL;
    } else {
      FatalError("Could not retrieve the absolute configuration for " + letters + " residue" +
                 context_);
    }
    node.Anomeric = entry.Anomeric == kAnomericBeta ? 1 : 0;
    node.Absolute = entry.Absolute;

    const std::string name = letters.substr(kLettersLength);
    entry.NameIndex = FindResidueName(residues_, name);
    if (entry.NameIndex == kNameNotFound) {
      FatalError("The unknown residue name (" + name + ") is detected in structure record" +
                 context_ + kLineBreak +
                 "See NAMES.PS for the list of available names and add the new name if required.");
    }
    const tNameRecord& record = At(residues_, entry.NameIndex);
    const bool has_anomeric_forms = record.RingKind == kPyranose || record.RingKind == kFuranose;
    if (entry.Anomeric == kAnomericNone && has_anomeric_forms) {
      FatalError("Accordingly to NAMES.PS, the residue " + name +
                 " should have either alfa(a) or beta(b) anomeric configuration" + context_);
    }
    if (entry.Anomeric != kAnomericNone && !has_anomeric_forms) {
      FatalError("Accordingly to NAMES.PS, the residue " + name + " should have no anomeric forms" +
                 context_ + kLineBreak + "\"c\" should be specified as its anomeric configuration");
    }
    if (node.Subst1 > record.CarbonCount || node.Subst2 > record.CarbonCount) {
      FatalError(
          "The substitution position specified exceeds the number of atoms declared in NAMES.PS "
          "for" +
          name + " residue" + context_);
    }
    return name;
  }

  // Each child must be attached at a position of node j that takes its kind of linkage.
  void CheckLinkages(std::size_t j, const std::string& name) const {
    const tTopologyNode& links = Links(j);
    const tStructureNode& node = At(working_.Nodes, j);
    const tNameRecord& record = At(residues_, At(task_.Residues, j + 1).NameIndex);
    const std::pair<std::uint8_t, std::uint8_t> attachments[] = {
        {links.FirstChild, node.Subst1}, {links.SecondChild, node.Subst2}};
    for (const auto& [child, position] : attachments) {
      if (child == kNoChild) continue;
      const tNameRecord& substituent = At(residues_, At(task_.Residues, child + 1).NameIndex);
      const bool n_linked = substituent.NLinked != 0;
      if (!InSet(n_linked ? record.NSubstitutable : record.OSubstitutable, position)) {
        FatalError("Accordingly to NAMES.PS, the residue " + name + " can not have " +
                   (n_linked ? "N" : "O") + "-linkage at position " + std::to_string(position) +
                   context_);
      }
    }
  }

  const std::string& context_;
  const tResidueTable& residues_;
  tTask& task_;
  tTopologyTable& topologies_;
  tStructure& working_;
};

// The written token of one node, e.g. 3]4)aDGlc-; the phosphate is P-.
std::string NodeText(const tStructureNode& node, const tTask& task, const tResidueTable& residues) {
  const tTaskResidue& entry = At(task.Residues, node.Residue);
  if (entry.NameIndex == 0) return std::string(kPhosphateToken) + "-";
  const tNameRecord& record = At(residues, entry.NameIndex);
  std::string text;
  if (node.Subst2 != 0) text += std::to_string(node.Subst2) + "]";
  if (node.Subst1 != 0) text += std::to_string(node.Subst1) + ")";
  if (record.RingKind == kPyranose || record.RingKind == kFuranose) {
    text += node.Anomeric == 0 ? 'a' : 'b';
  }
  text += node.Absolute == 0 ? 'D' : 'L';
  return text + record.Name + "-";
}

// Whether a line after the record asks for the report. The lines are read directly, without the
// shared line reader: a structure file is never refused, nor a question asked, for anything after
// its record, so a read error only ends the look-up.
bool AsksForReport(tDataFile& file) {
  std::string line;
  try {
    while (file.File.ReadLine(line)) {
      if (line.size() < kReportKeyword.size()) continue;
      bool same = true;
      for (std::size_t i = 0; i < kReportKeyword.size() && same; ++i) {
        const char c = line[i];
        same = (c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c) == kReportKeyword[i];
      }
      if (same) return true;
    }
  } catch (const EFileError&) {
  }
  return false;
}

}  // namespace

bool ReadStructureFile(const std::string& argument, const tResidueTable& residues, tTask& task,
                       tTopologyTable& topologies, tStructure& working) {
  const std::string file_name = ForceExtension(argument, kStructureExtension);
  tDataFile file;
  try {
    if (!OpenDataFile(file, file_name, file_name)) return false;
    const std::string record = ReadDataLine(file);
    if (record.empty()) FatalError(file_name + " contains no data");
    ParseStructureRecord(record,
                         ", file " + file_name + ", line " + std::to_string(file.LineNumber),
                         residues, task, topologies, working);
    task.Report = AsksForReport(file) ? 1 : 0;
  } catch (const EErrorStop&) {
    return false;
  }
  CloseDataFile(file);
  return true;
}

void ParseStructureRecord(const std::string& record, const std::string& context,
                          const tResidueTable& residues, tTask& task, tTopologyTable& topologies,
                          tStructure& working) {
  try {
    RecordParser(context, residues, task, topologies, working).Parse(record);
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory interpreting the structure record" + context);
  }
}

void StructureToText(const tStructure& structure, const tTopologyTable& topologies,
                     const tTask& task, const tResidueTable& residues, std::string& shape,
                     std::string& text) {
  const tTopology& topology = TopologyAt(topologies, structure.Topology);
  for (std::size_t j = 0; j < structure.Nodes.size(); ++j) NodeAt(topology, j);
  const std::string& written = topology.Template;
  // One pass over the template, so that a residue name holding "x" and a digit is never taken
  // for a node token.
  text.clear();
  for (std::size_t i = 0; i < written.size(); ++i) {
    if (written[i] == 'x' && i + 1 < written.size()) {
      const auto node = static_cast<std::size_t>(written[i + 1] - '0');
      text += NodeText(At(structure.Nodes, node), task, residues);
      ++i;
    } else {
      text += written[i];
    }
  }
  shape = TopologyShape(written);
}

}  // namespace glycomb
