#include "search/best_structures.hpp"

#include <algorithm>
#include <limits>
#include <new>

#include "console/checked.hpp"
#include "console/console.hpp"

namespace glycomb {
namespace {

void CopyInto(tResultRecord& record, const tStructure& candidate, const tScore& score) {
  record.Deviation = score.Sum;
  record.Offset = score.Offset;
  record.LineOfNode = score.LineOfNode;
  record.Structure.Topology = candidate.Topology;
  if (record.Structure.Nodes.size() != candidate.Nodes.size()) {
    CheckFailed("range check error: result entry of another size");
  }
  std::copy(candidate.Nodes.begin(), candidate.Nodes.end(), record.Structure.Nodes.begin());
}

}  // namespace

bool SameStructure(const tStructure& a, const tStructure& b, const std::uint8_t* name_of_entry) {
  if (a.Topology != b.Topology || a.Nodes.size() != b.Nodes.size()) return false;
  for (std::size_t j = 0; j < a.Nodes.size(); ++j) {
    const tStructureNode& x = a.Nodes[j];
    const tStructureNode& y = b.Nodes[j];
    if (name_of_entry[x.Residue] != name_of_entry[y.Residue] || x.Anomeric != y.Anomeric ||
        x.Absolute != y.Absolute || x.Subst1 != y.Subst1 || x.Subst2 != y.Subst2) {
      return false;
    }
  }
  return true;
}

void tBestStructures::Create(std::uint8_t limit, std::size_t node_count,
                             const std::vector<std::uint8_t>& name_of_entry) {
  try {
    entries_.assign(limit, tResultRecord{});
    for (tResultRecord& record : entries_) record.Structure.Nodes.resize(node_count);
    name_of_entry_ = name_of_entry;
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory for generated spectrum storage");
  }
  limit_ = limit;
  best_count_ = 0;
}

bool tBestStructures::Holds(const tStructure& candidate) const {
  for (std::size_t i = 0; i < best_count_; ++i) {
    if (SameStructure(entries_[i].Structure, candidate, name_of_entry_.data())) return true;
  }
  return false;
}

void tBestStructures::Keep(const tStructure& candidate, const tScore& score) {
  if (best_count_ < limit_) {
    CopyInto(entries_[best_count_], candidate, score);
    best_count_ = CheckedAdd<std::uint8_t>(best_count_, 1);
    return;
  }
  std::size_t worst = 0;
  std::uint32_t worst_deviation = 0;
  for (std::size_t i = 0; i < best_count_; ++i) {
    if (entries_[i].Deviation > worst_deviation) {
      worst_deviation = entries_[i].Deviation;
      worst = i;
    }
  }
  if (best_count_ > 0 && score.Sum < entries_[worst].Deviation) {
    CopyInto(entries_[worst], candidate, score);
  }
}

std::uint32_t tBestStructures::Threshold() const {
  if (best_count_ < limit_) return std::numeric_limits<std::uint32_t>::max();
  std::uint32_t worst = 0;
  for (std::size_t i = 0; i < best_count_; ++i) worst = std::max(worst, entries_[i].Deviation);
  return worst;
}

const tResultRecord& tBestStructures::Entry(std::size_t i) const {
  if (i >= best_count_) CheckFailed("range check error: result entry not filled");
  return entries_[i];
}

void tBestStructures::SortByDeviation() {
  // Exchange sort of neighbours: entries of equal deviation keep the order of the table.
  for (std::size_t last = best_count_; last > 1; --last) {
    bool exchanged = false;
    for (std::size_t j = 0; j + 1 < last; ++j) {
      if (entries_[j].Deviation > entries_[j + 1].Deviation) {
        std::swap(entries_[j], entries_[j + 1]);
        exchanged = true;
      }
    }
    if (!exchanged) break;
  }
}

}  // namespace glycomb
