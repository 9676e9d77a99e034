#include "topology/topology_catalogue.hpp"

#include <new>
#include <span>
#include <string>

#include "console/checked.hpp"
#include "console/console.hpp"
#include "topology/topology_templates.hpp"

namespace glycomb {
namespace {

// Node number of the token whose digit stands at `pos`.
std::uint8_t DigitAt(const std::string& text, std::size_t pos) {
  const char c = At(text, pos);
  if (c < '0' || c > '9') CheckFailed("range check error: no node number in a topology template");
  return static_cast<std::uint8_t>(c - '0');
}

// Position of the bracket matching the one at `pos`: searching right from a "[", left from a "]".
std::size_t MatchingBracket(const std::string& text, std::size_t pos, bool forward) {
  int depth = 0;
  for (;;) {
    const char c = At(text, pos);
    if (c == '[') depth += forward ? 1 : -1;
    if (c == ']') depth += forward ? -1 : 1;
    if (depth == 0) return pos;
    pos = forward ? CheckedAdd<std::size_t>(pos, 1) : CheckedSub<std::size_t>(pos, 1);
  }
}

// Digit of the node token just after the "]=" that closes the bracket opened at `open`.
std::uint8_t NodeAfterBracket(const std::string& text, std::size_t open) {
  return DigitAt(text, CheckedAdd<std::size_t>(MatchingBracket(text, open, true), 3));
}

// The leftmost main-chain node: the first token, or the node carrying the leading side chain.
std::uint8_t LeftmostMainNode(const std::string& text) {
  return text.starts_with("-[") ? NodeAfterBracket(text, 1) : DigitAt(text, 2);
}

// The rightmost main-chain node, which is always the last token.
std::uint8_t LastNode(const std::string& text) {
  return DigitAt(text, CheckedSub<std::size_t>(text.size(), 2));
}

// The node that the token at `token` hangs on, read from the characters after the token.
std::uint8_t ParentOf(const std::string& text, std::size_t token) {
  const std::size_t after = token + 2;
  if (after >= text.size()) CheckFailed("range check error: malformed topology template");
  if (after + 1 == text.size()) return LeftmostMainNode(text);
  if (text.compare(after, 2, "-x") == 0) return DigitAt(text, after + 2);
  if (text.compare(after, 3, "]=x") == 0) return DigitAt(text, after + 3);
  if (text.compare(after, 2, "-[") == 0) return NodeAfterBracket(text, after + 1);
  CheckFailed("range check error: malformed topology template");
}

// The children of the token at `token`, read from the character in front of it: after "-" the
// previous node of the chain, after "]=" also the side chain's last node, after "[" none.
void SetChildren(const std::string& text, std::size_t token, tTopologyNode& node) {
  const std::size_t before = CheckedSub<std::size_t>(token, 1);
  switch (At(text, before)) {
    case '-':
      node.FirstChild = before == 0 ? LastNode(text) : DigitAt(text, before - 1);
      break;
    case '=': {
      const std::size_t close = CheckedSub<std::size_t>(before, 1);
      const std::size_t open = MatchingBracket(text, close, false);
      node.FirstChild =
          open == 1 ? LastNode(text) : DigitAt(text, CheckedSub<std::size_t>(open, 2));
      node.SecondChild = DigitAt(text, CheckedSub<std::size_t>(close, 1));
      break;
    }
    case '[':
      break;
    default:
      CheckFailed("range check error: malformed topology template");
  }
  node.ChildCount = node.FirstChild == kNoChild ? 0 : node.SecondChild == kNoChild ? 1 : 2;
}

void FillTopology(std::string_view written, std::uint8_t n, tTopology& topology) {
  std::string& text = topology.Template;
  text.assign(written);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char mark = text[i];
    if (mark == 'y' || mark == 'v') topology.SymmetricNodes.set(DigitAt(text, i + 1));
    if (mark == 'o' || mark == 'v') topology.StartNodes.set(DigitAt(text, i + 1));
    if (mark == 'x' || mark == 'y') {
      topology.NonStartCount = CheckedAdd<std::uint8_t>(topology.NonStartCount, 1);
    }
    if (mark == 'o' || mark == 'v' || mark == 'y') text[i] = 'x';
  }

  int depth = 0;
  int bracketed = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '[') ++depth;
    if (c == ']') --depth;
    if (c != 'x') continue;
    if (depth > 0) ++bracketed;
    const std::uint8_t node = DigitAt(text, i + 1);
    topology.WrittenOrder.push_back(node);
    if (depth == 0) topology.MainChain.set(node);
  }
  topology.Shape = bracketed == 0 ? kShapeLinear : bracketed <= 2 ? kShapeWidespread : kShapeRare;

  topology.Nodes.resize(n);
  for (std::uint8_t i = 0; i < n; ++i) {
    const char token[] = {'x', static_cast<char>('0' + i), '\0'};
    const std::size_t pos = text.find(token);
    if (pos == std::string::npos) CheckFailed("range check error: node missing from a template");
    tTopologyNode& node = topology.Nodes[i];
    node.Parent = ParentOf(text, pos);
    SetChildren(text, pos, node);
  }
}

}  // namespace

bool BuildTopologyCatalogue(std::uint8_t n, tTopologyTable& table) {
  const std::span<const std::string_view> templates = TopologyTemplates(n);
  table.clear();
  try {
    try {
      tTopologyTable built(templates.size());
      for (std::size_t i = 0; i < templates.size(); ++i) FillTopology(templates[i], n, built[i]);
      table.swap(built);
    } catch (const std::bad_alloc&) {
      FatalError("Insufficient memory allocating topology space");
    }
  } catch (const EErrorStop&) {
    return false;
  }
  return true;
}

std::pair<std::uint8_t, std::uint8_t> TopologyChildren(const tTopologyTable& table,
                                                       std::uint8_t topology, std::uint8_t node) {
  const tTopologyNode& entry = At(At(table, topology).Nodes, node);
  return {entry.FirstChild, entry.SecondChild};
}

std::string_view ShapeClassName(std::uint8_t shape) {
  switch (shape) {
    case kShapeLinear: return "linear";
    case kShapeWidespread: return "widespread branched";
    default: return "rarely-occurring branched";
  }
}

std::string_view ShapeClassHeading(std::uint8_t shape) {
  switch (shape) {
    case kShapeLinear: return "Linear:";
    case kShapeWidespread: return "Widespread branched:";
    default: return "Rarely-ocurring branched:";
  }
}

std::string TopologyShape(std::string_view template_text) {
  std::string shape;
  for (const char c : template_text) {
    if (c == '[' || c == ']' || c == 'x') shape += c;
  }
  return shape;
}

}  // namespace glycomb
