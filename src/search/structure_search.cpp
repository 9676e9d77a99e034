#include "search/structure_search.hpp"

#include "console/checked.hpp"
#include "console/console.hpp"
#include "console/formatting.hpp"

namespace glycomb {

tStructureSearch::tStructureSearch(const tTask& task, const tResidueTable& residues,
                                   const tTopologyTable& topologies, tStructureModel& model,
                                   tCandidateScorer& scorer, tBestStructures& best)
    : task_(task),
      topologies_(topologies),
      model_(model),
      residues_(residues),
      scorer_(scorer),
      best_(best),
      n_(task.ResidueCount) {
  if (model.WorkingStructure.Nodes.size() != n_) {
    CheckFailed("range check error: working structure of another size");
  }
  for (std::size_t i = 1; i <= n_; ++i) {
    const std::uint8_t name_index = At(task.Residues, i).NameIndex;
    const tNameRecord& record = At(residues, name_index);
    tEntryFacts& facts = At(entries_, i);
    facts.OSubstitutable = record.OSubstitutable;
    facts.NSubstitutable = record.NSubstitutable;
    facts.CarbonCount = record.CarbonCount;
    facts.IsPhosphate = name_index == 0;
    facts.HighestPosition = facts.IsPhosphate ? 2 : record.CarbonCount;
    facts.RingKind = record.RingKind;
    facts.C1Peculiarity = record.C1Peculiarity;
    facts.NLinked = record.NLinked;
  }
}

void tStructureSearch::SearchAllTopologies() {
  for (std::size_t t = 0; t < topologies_.size(); ++t) {
    const tTopology& topology = topologies_[t];
    model_.WorkingStructure.Topology = Narrow<std::uint8_t>(t);
    if (task_.WideSpread != 0 && topology.Shape == kShapeRare) continue;
    for (std::size_t u = 0; u < topology.Nodes.size(); ++u) {
      if (topology.StartNodes.test(u)) SearchFromStartNode(static_cast<std::uint8_t>(u));
    }
  }
}

void tStructureSearch::SearchFromStartNode(std::uint8_t start_node) {
  const tTopology& topology = At(topologies_, model_.WorkingStructure.Topology);
  StartNode = start_node;
  At(model_.WorkingStructure.Nodes, start_node).Residue = 1;
  UsedResidues[0] = 1;
  // In WIDESPREAD mode a non-sugar is never a branch or chain point.
  if (task_.WideSpread != 0 && At(topology.Nodes, start_node).ChildCount != 0 &&
      At(entries_, 1).RingKind == kNonSugar) {
    return;
  }
  PlaceResidues(0);
}

void tStructureSearch::PlaceResidues(std::uint8_t node) {
  if (node == n_) {
    if (SequencePasses()) {
      ShowSequenceProgress();
      SearchSequence();
    }
    if (!KeepGoing()) Stop();
    return;
  }
  const std::uint8_t next = static_cast<std::uint8_t>(node + 1);
  if (node == StartNode) {
    At(UsedResidues, next) = 1;
    PlaceResidues(next);
    return;
  }
  const tTopology& topology = topologies_[model_.WorkingStructure.Topology];
  const bool has_children = At(topology.Nodes, node).ChildCount != 0;
  for (std::uint8_t k = 1; k <= n_; ++k) {
    bool used = false;
    for (std::size_t j = 0; j <= node; ++j) used = used || UsedResidues[j] == k;
    if (used) continue;
    At(UsedResidues, next) = k;
    model_.WorkingStructure.Nodes[node].Residue = k;
    if (task_.WideSpread != 0 && has_children && entries_[k].RingKind == kNonSugar) continue;
    PlaceResidues(next);
  }
}

bool tStructureSearch::SequencePasses() const {
  const tTopology& topology = At(topologies_, model_.WorkingStructure.Topology);
  const std::vector<tStructureNode>& nodes = model_.WorkingStructure.Nodes;
  for (std::size_t i = 0; i < n_; ++i) {
    const tTopologyNode& links = topology.Nodes[i];
    // Of two sequences that only exchange the identical subtrees of a symmetric node, the one
    // with the higher composition index on the second child passes.
    if (topology.SymmetricNodes.test(i) && links.SecondChild > links.FirstChild &&
        At(nodes, links.SecondChild).Residue < At(nodes, links.FirstChild).Residue) {
      return false;
    }
    // In WIDESPREAD mode an alditol hangs on a phosphate.
    const tEntryFacts& facts = At(entries_, nodes[i].Residue);
    if (task_.WideSpread != 0 && facts.RingKind == kAlditol &&
        facts.C1Peculiarity != kC1Phosphate &&
        !At(entries_, At(nodes, links.Parent).Residue).IsPhosphate) {
      return false;
    }
  }
  return true;
}

void tStructureSearch::ShowSequenceProgress() {
  const float fraction =
      static_cast<float>(SequenceCount) / static_cast<float>(SequenceEstimate);
  const double elapsed = Now() - SearchStartTime;
  const double time_left = fraction == 0.0f ? 0.0 : elapsed / fraction - elapsed;
  SequenceCount = CheckedAdd<std::int32_t>(SequenceCount, 1);
  ShowProgress(SequenceCount, time_left, fraction);
}

void tStructureSearch::SearchSequence() {
  BuildCarbonOffsets(model_, task_, residues_);
  EnumerateLinkages(0);
}

bool tStructureSearch::KeepGoing() const { return RunFlag.load(); }

void tStructureSearch::Stop() { HaltRun(); }

bool tStructureSearch::Suits(std::uint8_t position, std::uint8_t residue_entry,
                             std::uint8_t child_node) const {
  const tEntryFacts& residue = entries_[residue_entry];
  const tEntryFacts& child = At(entries_, At(model_.WorkingStructure.Nodes, child_node).Residue);
  return InSet(child.NLinked == 0 ? residue.OSubstitutable : residue.NSubstitutable, position);
}

void tStructureSearch::EnumerateLinkages(std::uint8_t node) {
  if (node == n_) {
    EnumerateConfigurations(0);
    return;
  }
  const std::uint8_t next = static_cast<std::uint8_t>(node + 1);
  tStructureNode& e = model_.WorkingStructure.Nodes[node];
  const tEntryFacts& facts = At(entries_, e.Residue);
  const tTopologyNode& links = At(At(topologies_, model_.WorkingStructure.Topology).Nodes, node);
  switch (links.ChildCount) {
    case 0:
      e.Subst1 = 0;
      e.Subst2 = 0;
      if (LinkageAllowed(e.Residue, 0, 0)) EnumerateLinkages(next);
      break;
    case 1:
      e.Subst2 = 0;
      for (std::uint8_t p = 2; p <= facts.HighestPosition; ++p) {
        if (!Suits(p, e.Residue, links.FirstChild)) continue;
        e.Subst1 = p;
        if (LinkageAllowed(e.Residue, p, 0)) EnumerateLinkages(next);
      }
      break;
    default:
      for (std::uint8_t p1 = 2; p1 <= facts.CarbonCount; ++p1) {
        if (!Suits(p1, e.Residue, links.FirstChild)) continue;
        for (std::uint8_t p2 = 2; p2 <= facts.CarbonCount; ++p2) {
          if (p2 == p1 || !Suits(p2, e.Residue, links.SecondChild)) continue;
          e.Subst1 = p1;
          e.Subst2 = p2;
          if (LinkageAllowed(e.Residue, p1, p2)) EnumerateLinkages(next);
        }
      }
      break;
  }
}

bool tStructureSearch::LinkageAllowed(std::uint8_t entry, std::uint8_t p1,
                                      std::uint8_t p2) const {
  const tTaskResidue& residue = At(task_.Residues, entry);
  const std::uint8_t c1 = residue.Subst1;
  const std::uint8_t c2 = residue.Subst2;
  if (c1 == kAnyPosition && c2 == kAnyPosition) return true;
  if ((c1 == p1 && c2 == p2) || (c1 == p2 && c2 == p1)) return true;
  if (c2 == kAnyPosition && (c1 == p1 || c1 == p2)) return true;
  if (c1 == kAnyPosition && (c2 == p1 || c2 == p2)) return true;
  return false;
}

void tStructureSearch::EnumerateConfigurations(std::uint8_t node) {
  if (node == n_) {
    OfferCandidate();
    return;
  }
  tStructureNode& e = model_.WorkingStructure.Nodes[node];
  const tTaskResidue& entry = task_.Residues[e.Residue];
  switch (entry.Anomeric) {
    case kAnomericBeta:
      e.Anomeric = 1;
      AbsoluteStep(node);
      break;
    case kAnomericUnknown:
      // Beta is tried before alpha; residues without anomeric forms take 0 only.
      if (entries_[e.Residue].RingKind < kAlditol) {
        e.Anomeric = 1;
        AbsoluteStep(node);
      }
      e.Anomeric = 0;
      AbsoluteStep(node);
      break;
    default:  // alpha, or no anomeric form
      e.Anomeric = 0;
      AbsoluteStep(node);
      break;
  }
}

void tStructureSearch::AbsoluteStep(std::uint8_t node) {
  tStructureNode& e = model_.WorkingStructure.Nodes[node];
  const std::uint8_t next = static_cast<std::uint8_t>(node + 1);
  switch (task_.Residues[e.Residue].Absolute) {
    case kAbsoluteD:
      e.Absolute = 0;
      EnumerateConfigurations(next);
      break;
    case kAbsoluteL:
      e.Absolute = 1;
      EnumerateConfigurations(next);
      break;
    default:  // unknown: D before L
      e.Absolute = 0;
      EnumerateConfigurations(next);
      e.Absolute = 1;
      EnumerateConfigurations(next);
      break;
  }
}

void tStructureSearch::OfferCandidate() {
  const tStructure& candidate = model_.WorkingStructure;
  if (best_.Holds(candidate)) return;
  scorer_.CalculateSpectrum();
  best_.Keep(candidate, scorer_.LastScore());
}

}  // namespace glycomb
