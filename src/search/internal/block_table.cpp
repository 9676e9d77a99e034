#include "search/internal/block_table.hpp"

#include "console/checked.hpp"

namespace glycomb {

bool tBlockTable::Build(const tSequenceChoices& choices, const tTopology& topology,
                        tStructure& structure, const tSpectrumCalculator& calculator) {
  choices_ = &choices;
  nodes_ = choices.Nodes;
  messages_.clear();
  bool all_calculated = true;
  for (std::size_t i = 0; i < nodes_; ++i) {
    const tTopologyNode& links = topology.Nodes[i];
    std::size_t count = 0;
    variables_[i][count++] = choices.PositionsOf(i);
    variables_[i][count++] = choices.ConfigurationsOf(i);
    for (const std::uint8_t child : {links.FirstChild, links.SecondChild}) {
      if (child != kNoChild && child != i) variables_[i][count++] = choices.ConfigurationsOf(child);
    }
    variable_count_[i] = count;
    std::size_t size = 1;
    for (std::size_t k = 0; k < count; ++k) size *= choices.Count(variables_[i][k]);
    blocks_[i].resize(size);
    failure_[i].assign(size, -1);
    for (std::size_t index = 0; index < size; ++index) {
      std::array<std::size_t, kMaxBlockVariables> options{};
      Decode(i, index, options.data());
      for (std::size_t k = 0; k < count; ++k) choices.Apply(variables_[i][k], options[k], structure);
      std::string message;
      if (!calculator.TryResidueBlock(structure, i, blocks_[i][index], message)) {
        failure_[i][index] = static_cast<std::int32_t>(messages_.size());
        messages_.push_back(std::move(message));
        all_calculated = false;
      }
    }
  }
  return all_calculated;
}

// Mixed radix over the block's variables, the first outermost.
std::size_t tBlockTable::Index(std::size_t node, const std::uint8_t* choice) const {
  std::size_t index = 0;
  for (std::size_t k = 0; k < variable_count_[node]; ++k) {
    const std::size_t variable = variables_[node][k];
    index = index * choices_->Count(variable) + choice[variable];
  }
  return index;
}

void tBlockTable::Decode(std::size_t node, std::size_t index, std::size_t* options) const {
  for (std::size_t k = variable_count_[node]; k-- > 0;) {
    const std::size_t size = choices_->Count(variables_[node][k]);
    options[k] = index % size;
    index /= size;
  }
}

bool tBlockTable::CanFail(const std::uint8_t* choice, std::size_t fixed) const {
  for (std::size_t i = 0; i < nodes_; ++i) {
    for (std::size_t index = 0; index < failure_[i].size(); ++index) {
      if (failure_[i][index] < 0) continue;
      std::array<std::size_t, kMaxBlockVariables> options{};
      Decode(i, index, options.data());
      bool agrees = true;
      for (std::size_t k = 0; k < variable_count_[i]; ++k) {
        const std::size_t variable = variables_[i][k];
        if (variable < fixed && choice[variable] != options[k]) agrees = false;
      }
      if (agrees) return true;
    }
  }
  return false;
}

// The literal enumeration calculates candidates in order until the first one that needs a block
// that cannot be calculated (such a candidate is never a duplicate of a kept one, whose blocks all
// exist): fixing the variables one by one, each takes its first option under which some failing
// block is still reachable. Of that candidate's failing blocks the first in node order gives the
// message, as the calculation meets them in that order.
const std::string& tBlockTable::FirstFailure() const {
  std::array<std::uint8_t, 2 * kMaxResidues> choice{};
  for (std::size_t variable = 0; variable < choices_->Variables(); ++variable) {
    for (choice[variable] = 0; choice[variable] < choices_->Count(variable); ++choice[variable]) {
      if (CanFail(choice.data(), variable + 1)) break;
    }
  }
  for (std::size_t i = 0; i < nodes_; ++i) {
    const std::int32_t failure = failure_[i][Index(i, choice.data())];
    if (failure >= 0) return messages_[static_cast<std::size_t>(failure)];
  }
  CheckFailed("range check error: no failing candidate found");
}

}  // namespace glycomb
