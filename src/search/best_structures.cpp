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

namespace {

constexpr std::uint8_t kOpen = 254;   // a side chain begins
constexpr std::uint8_t kClose = 253;  // and ends

class tPolymerWriter {
 public:
  tPolymerWriter(const tStructure& structure, const tTopology& topology,
                 const std::uint8_t* name_of_entry, tPolymerKey& key)
      : structure_(structure), topology_(topology), names_(name_of_entry), key_(key) {}

  // The main chain read from `start` along the attachments (each residue to the one carrying it),
  // every residue with its side chains.
  void MainChain(std::uint8_t start) {
    key_.Size = 0;
    std::uint8_t node = start;
    do {
      Residue(node);
      const tTopologyNode& links = topology_.Nodes[node];
      for (const std::uint8_t child : Children(links)) {
        if (child != kNoChild && !topology_.MainChain.test(child)) SideChain(child);
      }
      node = links.Parent;
    } while (node != start);
  }

 private:
  void Put(std::uint8_t byte) { At(key_.Bytes, key_.Size++) = byte; }

  // A residue: its name, configurations and the position of the residue carrying it.
  void Residue(std::uint8_t node) {
    const tStructureNode& entry = structure_.Nodes[node];
    Put(names_[entry.Residue]);
    Put(entry.Anomeric);
    Put(entry.Absolute);
    Put(AttachmentPosition(structure_, topology_, node));
  }

  void SideChain(std::uint8_t node) {
    Put(kOpen);
    Residue(node);
    for (const std::uint8_t child : Children(topology_.Nodes[node])) {
      if (child != kNoChild) SideChain(child);
    }
    Put(kClose);
  }

  // The children of a residue in the order of the positions that carry them.
  std::array<std::uint8_t, 2> Children(const tTopologyNode& links) const {
    std::array<std::uint8_t, 2> children{links.FirstChild, links.SecondChild};
    const auto position = [&](std::uint8_t child) -> unsigned {
      return child == kNoChild ? 256 : AttachmentPosition(structure_, topology_, child);
    };
    if (position(children[1]) < position(children[0])) std::swap(children[0], children[1]);
    return children;
  }

  const tStructure& structure_;
  const tTopology& topology_;
  const std::uint8_t* names_;
  tPolymerKey& key_;
};

bool Smaller(const tPolymerKey& a, const tPolymerKey& b) {
  return std::lexicographical_compare(a.Bytes.begin(), a.Bytes.begin() + static_cast<std::ptrdiff_t>(a.Size),
                                      b.Bytes.begin(), b.Bytes.begin() + static_cast<std::ptrdiff_t>(b.Size));
}

}  // namespace

void PolymerKey(const tStructure& structure, const tTopology& topology,
                const std::uint8_t* name_of_entry, tPolymerKey& key) {
  tPolymerKey rotation;
  tPolymerWriter writer(structure, topology, name_of_entry, rotation);
  bool first = true;
  for (std::size_t node = 0; node < structure.Nodes.size(); ++node) {
    if (!topology.MainChain.test(node)) continue;
    writer.MainChain(static_cast<std::uint8_t>(node));
    if (first || Smaller(rotation, key)) key = rotation;
    first = false;
  }
}

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
                             const std::vector<std::uint8_t>& name_of_entry,
                             const tTopologyTable* one_per_polymer) {
  try {
    entries_.assign(limit, tResultRecord{});
    for (tResultRecord& record : entries_) record.Structure.Nodes.resize(node_count);
    name_of_entry_ = name_of_entry;
    keys_.assign(one_per_polymer != nullptr ? limit : 0, tPolymerKey{});
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory for generated spectrum storage");
  }
  polymers_ = one_per_polymer;
  limit_ = limit;
  best_count_ = 0;
}

bool tBestStructures::Holds(const tStructure& candidate) const {
  if (polymers_ != nullptr) {
    PolymerKey(candidate, At(*polymers_, candidate.Topology), name_of_entry_.data(), candidate_key_);
    return std::find(keys_.begin(), keys_.begin() + best_count_, candidate_key_) !=
           keys_.begin() + best_count_;
  }
  for (std::size_t i = 0; i < best_count_; ++i) {
    if (SameStructure(entries_[i].Structure, candidate, name_of_entry_.data())) return true;
  }
  return false;
}

void tBestStructures::Put(std::size_t i, const tStructure& candidate, const tScore& score) {
  CopyInto(entries_[i], candidate, score);
  if (polymers_ != nullptr) {
    PolymerKey(candidate, At(*polymers_, candidate.Topology), name_of_entry_.data(), keys_[i]);
  }
}

void tBestStructures::Keep(const tStructure& candidate, const tScore& score) {
  if (score.Sum == kInfeasibleSum) return;
  if (best_count_ < limit_) {
    Put(best_count_, candidate, score);
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
  if (best_count_ > 0 && score.Sum < entries_[worst].Deviation) Put(worst, candidate, score);
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
        if (polymers_ != nullptr) std::swap(keys_[j], keys_[j + 1]);
        exchanged = true;
      }
    }
    if (!exchanged) break;
  }
}

}  // namespace glycomb
