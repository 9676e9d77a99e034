#include "search/internal/sequence_outcomes.hpp"

namespace glycomb {

tSequenceKey SequenceKey(const tStructure& structure, const tTask& task) {
  tSequenceKey key{};
  key[0] = structure.Topology;
  for (std::size_t i = 0; i < structure.Nodes.size(); ++i) {
    const tTaskResidue& entry = task.Residues[structure.Nodes[i].Residue];
    std::uint8_t* at = key.data() + 1 + 5 * i;
    at[0] = entry.NameIndex;
    at[1] = entry.Anomeric;
    at[2] = entry.Absolute;
    at[3] = entry.Subst1;
    at[4] = entry.Subst2;
  }
  return key;
}

tSequenceKey ResolvedKey(tSequenceKey key, const tSequenceChoices& choices,
                         const std::uint8_t* choice) {
  for (std::size_t i = 0; i < choices.Nodes; ++i) {
    const std::size_t variable = choices.ConfigurationsOf(i);
    const tChoice& configurations = choices.Options[variable][choice[variable]];
    std::uint8_t* at = key.data() + 1 + 5 * i;
    at[1] = configurations.First;
    at[2] = configurations.Second;
  }
  return key;
}

std::shared_ptr<const tSequenceOutcome> OutcomeSince(const tPassResult& result,
                                                     std::size_t records, std::int64_t unrecorded,
                                                     std::size_t nodes) {
  auto outcome = std::make_shared<tSequenceOutcome>();
  outcome->Unrecorded = result.Unrecorded - unrecorded;
  outcome->Nodes.assign(result.Nodes.begin() + static_cast<std::ptrdiff_t>(records * nodes),
                        result.Nodes.end());
  outcome->Scores.assign(result.Scores.begin() + static_cast<std::ptrdiff_t>(records),
                         result.Scores.end());
  return outcome;
}

void ApplyRecord(const tSequenceOutcome& outcome, std::size_t record, tStructure& structure) {
  const std::size_t n = structure.Nodes.size();
  for (std::size_t i = 0; i < n; ++i) {
    const tStructureNode& node = outcome.Nodes[record * n + i];
    structure.Nodes[i] = {structure.Nodes[i].Residue, node.Anomeric, node.Absolute, node.Subst1,
                          node.Subst2};
  }
}

namespace {

// Whether a choice of the open configurations can make the two configurations the same.
bool Compatible(std::uint8_t a, std::uint8_t b, std::uint8_t unknown) {
  return a == b || a == unknown || b == unknown;
}

}  // namespace

tSequenceOutcomes::tSequenceOutcomes(const tTask& task, tKeys keys) {
  for (std::size_t i = 1; i <= task.ResidueCount; ++i) {
    for (std::size_t j = i + 1; j <= task.ResidueCount; ++j) {
      const tTaskResidue& a = task.Residues[i];
      const tTaskResidue& b = task.Residues[j];
      if (a.NameIndex != b.NameIndex || a.Subst1 != b.Subst1 || a.Subst2 != b.Subst2) continue;
      useful_ = useful_ ||
                (keys == tKeys::kSequences
                     ? a.Anomeric == b.Anomeric && a.Absolute == b.Absolute
                     : Compatible(a.Anomeric, b.Anomeric, kAnomericUnknown) &&
                           Compatible(a.Absolute, b.Absolute, kAbsoluteUnknown));
    }
  }
}

std::size_t tSequenceOutcomes::Bytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

std::shared_ptr<const tSequenceOutcome> tSequenceOutcomes::Find(const tSequenceKey& key,
                                                                std::size_t pass) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto known = known_.find(key);
  if (known == known_.end() || known->second.first > pass) return nullptr;
  return known->second.second;
}

void tSequenceOutcomes::Store(const tSequenceKey& key, std::size_t pass,
                              std::shared_ptr<const tSequenceOutcome> outcome) {
  if (!useful_) return;
  // The map's node, the outcome and its records.
  const std::size_t bytes = 96 + sizeof(tSequenceKey) + sizeof(tSequenceOutcome) +
                            outcome->Nodes.size() * sizeof(tStructureNode) +
                            outcome->Scores.size() * sizeof(tScore);
  std::lock_guard<std::mutex> lock(mutex_);
  if (bytes_ + bytes > kMaxBytes) {
    known_.clear();
    bytes_ = 0;
  }
  auto& known = known_[key];
  // An earlier pass's outcome serves more passes.
  if (known.second == nullptr) {
    bytes_ += bytes;
    known = {pass, std::move(outcome)};
  } else if (pass < known.first) {
    known = {pass, std::move(outcome)};
  }
}

}  // namespace glycomb
