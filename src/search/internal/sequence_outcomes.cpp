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

tSequenceOutcomes::tSequenceOutcomes(const tTask& task) {
  for (std::size_t i = 1; i <= task.ResidueCount; ++i) {
    for (std::size_t j = i + 1; j <= task.ResidueCount; ++j) {
      const tTaskResidue& a = task.Residues[i];
      const tTaskResidue& b = task.Residues[j];
      useful_ = useful_ || (a.NameIndex == b.NameIndex && a.Anomeric == b.Anomeric &&
                            a.Absolute == b.Absolute && a.Subst1 == b.Subst1 &&
                            a.Subst2 == b.Subst2);
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
