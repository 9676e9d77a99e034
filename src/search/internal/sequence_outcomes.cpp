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

std::shared_ptr<const tSequenceOutcome> tSequenceOutcomes::Find(const tSequenceKey& key,
                                                                std::size_t pass) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto known = known_.find(key);
  if (known == known_.end() || known->second.first > pass) return nullptr;
  return known->second.second;
}

void tSequenceOutcomes::Store(const tSequenceKey& key, std::size_t pass,
                              std::shared_ptr<const tSequenceOutcome> outcome) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto& known = known_[key];
  // An earlier pass's outcome serves more passes.
  if (known.second == nullptr || pass < known.first) known = {pass, std::move(outcome)};
}

}  // namespace glycomb
