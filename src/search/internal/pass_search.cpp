#include "search/internal/pass_search.hpp"

namespace glycomb {
namespace {

std::vector<std::uint8_t> NameOfEntry(const tTask& task) {
  std::vector<std::uint8_t> names;
  for (const tTaskResidue& entry : task.Residues) names.push_back(entry.NameIndex);
  return names;
}

}  // namespace

tSearchShared::tSearchShared(const tTask& task, std::size_t workers, std::size_t passes,
                             tSearchProgress& progress, const tStopToken& stop)
    : EndPass(passes),
      Outcomes(task),
      Resolved(task, tSequenceOutcomes::tKeys::kResolved),
      Peers(workers), Progress(progress), Stop(stop) {
  for (auto& peer : Peers) peer.store(~std::uint64_t{0});  // no pass yet
}

void tSearchShared::EndAt(std::size_t pass) {
  std::size_t current = EndPass.load();
  while (pass < current && !EndPass.compare_exchange_weak(current, pass)) {
  }
}

tPassSearch::tPassSearch(const tSearchTables& tables, const tSequenceEnumerator& enumerator,
                         const tSpectrumCalculator& calculator, tSearchShared& shared,
                         std::size_t self)
    : tables_(tables),
      enumerator_(enumerator),
      shared_(shared),
      threshold_(local_, shared.Committed, shared.Peers, self) {
  SizeSpectrumArrays(model_, tables.Task, tables.Residues);
  model_.WorkingStructure.Nodes.assign(tables.Task.ResidueCount, tStructureNode{});
  local_.Create(tables.Task.Limit, tables.Task.ResidueCount, NameOfEntry(tables.Task),
                OnePerPolymer(tables.Task) ? &tables.Topologies : nullptr);
  descent_ = std::make_unique<tSequenceDescent>(tables.Topologies, calculator, tables.Measured,
                                                threshold_, PhosphateEntries(tables.Task),
                                                shared.Resolved);
}

void tPassSearch::Search(std::size_t index, const tPass& pass, tPassResult& result) {
  result.Clear();
  result_ = &result;
  pass_ = index;
  threshold_.BeginPass(index);
  enumerator_.ForEachSequence(pass, model_.WorkingStructure, [&](bool passes) {
    if (passes) {
      if (!shared_.Progress.SequenceDone(index)) {
        result.Stopped = true;
        return false;
      }
      ++result.Sequences;
      if (!SearchSequence()) return false;
    }
    // A stop request, or an earlier pass that ends the run, ends the pass after the sequence.
    if (shared_.Stop.StopRequested() || pass_ >= shared_.EndPass.load()) {
      result.Stopped = true;
      return false;
    }
    return true;
  });
  result_ = nullptr;
}

bool tPassSearch::SearchSequence() {
  const tSequenceKey key = SequenceKey(model_.WorkingStructure, tables_.Task);
  if (const auto known = shared_.Outcomes.Find(key, pass_)) {
    Replay(*known);
    return true;
  }
  const std::int64_t unrecorded = result_->Unrecorded;
  const std::size_t records = result_->RecordCount();
  BuildCarbonOffsets(model_, tables_.Task, tables_.Residues);
  enumerator_.Choices(model_.WorkingStructure, choices_);
  if (!descent_->Search(model_, choices_, *result_, key, pass_)) return false;
  shared_.Outcomes.Store(key, pass_,
                         OutcomeSince(*result_, records, unrecorded, tables_.Task.ResidueCount));
  return true;
}

// The candidates of an equivalent sequence, with this sequence's entries at the nodes. Those it
// skipped stay skipped: the threshold has only come down since.
void tPassSearch::Replay(const tSequenceOutcome& outcome) {
  result_->Unrecorded += outcome.Unrecorded;
  tStructure& structure = model_.WorkingStructure;
  for (std::size_t r = 0; r < outcome.Scores.size(); ++r) {
    ApplyRecord(outcome, r, structure);
    result_->Record(structure, outcome.Scores[r]);
    threshold_.Keep(structure, outcome.Scores[r]);
  }
}

}  // namespace glycomb
