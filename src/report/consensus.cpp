#include "report/consensus.hpp"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "confidence/probability.hpp"
#include "report/residue_symbols.hpp"

namespace glycomb {
namespace {

// Sums of probabilities are compared with this much room for rounding: 0.6 + 0.35 reaches 0.95.
constexpr double kRoundingRoom = 1e-9;

// The likely set: structure indices, in rank order.
std::vector<std::size_t> LikelySet(const tSearchReport& report) {
  std::vector<std::size_t> set;
  double sum = 0;
  for (std::size_t i = 0; i < report.Structures.size() && sum < kLikelyMass - kRoundingRoom; ++i) {
    set.push_back(i);
    sum += *report.Structures[i].Probability;
  }
  return set;
}

// The residue carrying each residue of `unit` and the position there (the first residue of the
// main chain carries the last one).
std::vector<std::pair<int, std::uint8_t>> Carriers(const tReportUnit& unit) {
  std::vector<std::pair<int, std::uint8_t>> carriers(unit.Residues.size(), {kNoResidue, 0});
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    const tReportResidue& residue = unit.Residues[r];
    const std::pair<int, std::uint8_t> children[] = {{residue.ChainChild, residue.ChainPosition},
                                                     {residue.BranchChild, residue.BranchPosition}};
    for (const auto& [child, position] : children) {
      if (child >= 0 && static_cast<std::size_t>(child) < carriers.size()) {
        carriers[static_cast<std::size_t>(child)] = {static_cast<int>(r), position};
      }
    }
  }
  return carriers;
}

void Share(tSharers& sharers, const tReportStructure& structure) {
  sharers.Ranks.push_back(structure.Rank);
  sharers.Probability += *structure.Probability;
}

// Most probable first; of equal probability the one the better polymer has.
template <typename tValue>
void SortValues(std::vector<tValue>& values) {
  std::stable_sort(values.begin(), values.end(), [](const tValue& a, const tValue& b) {
    if (a.Sharers.Probability != b.Sharers.Probability) {
      return a.Sharers.Probability > b.Sharers.Probability;
    }
    return a.Sharers.Ranks.front() < b.Sharers.Ranks.front();
  });
}

template <typename tValue>
bool Settled(const std::vector<tValue>& values, std::size_t set_size) {
  return values.size() == 1 && values.front().Sharers.Ranks.size() == set_size;
}

// Records `structure`'s residues into the facts of their spin systems.
void AddStructure(const tReportStructure& structure, std::map<int, tSpinSystemFacts>& facts) {
  const tReportUnit& unit = structure.Unit;
  const std::vector<int>& lines = *structure.SpinSystems;
  const auto line_of = [&](int residue) {
    const auto at = static_cast<std::size_t>(residue);
    return at < lines.size() ? lines[at] : -1;
  };
  const auto carriers = Carriers(unit);
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    const int line = line_of(static_cast<int>(r));
    if (line < 0) continue;  // the phosphate has no spin system
    const tReportResidue& residue = unit.Residues[r];
    tSpinSystemFacts& entry = facts[line];
    entry.SpinSystem = line;

    auto same_residue = std::find_if(entry.Residue.begin(), entry.Residue.end(),
                                     [&](const tResidueValue& value) {
                                       return value.Name == residue.Name &&
                                              value.RingKind == residue.RingKind &&
                                              value.Anomeric == residue.Anomeric &&
                                              value.Absolute == residue.Absolute;
                                     });
    if (same_residue == entry.Residue.end()) {
      entry.Residue.push_back({residue.Name, residue.RingKind, residue.Anomeric, residue.Absolute,
                               IupacResidueName(residue, AminoSubstituted(unit, static_cast<int>(r))),
                               {}});
      same_residue = entry.Residue.end() - 1;
    }
    Share(same_residue->Sharers, structure);

    const auto [carrier, position] = carriers[r];
    if (carrier == kNoResidue) continue;
    tAttachmentValue attachment;
    attachment.Phosphate = unit.Residues[static_cast<std::size_t>(carrier)].Phosphate;
    if (!attachment.Phosphate) {
      attachment.Carrier = line_of(carrier);
      attachment.Position = position;
      if (attachment.Carrier < 0) continue;
    }
    auto same = std::find_if(entry.Attachment.begin(), entry.Attachment.end(),
                             [&](const tAttachmentValue& value) {
                               return value.Phosphate == attachment.Phosphate &&
                                      value.Carrier == attachment.Carrier &&
                                      value.Position == attachment.Position;
                             });
    if (same == entry.Attachment.end()) {
      entry.Attachment.push_back(attachment);
      same = entry.Attachment.end() - 1;
    }
    Share(same->Sharers, structure);
  }
}

}  // namespace

std::optional<tConsensus> FindConsensus(const tSearchReport& report) {
  if (report.Structures.empty()) return std::nullopt;
  for (const tReportStructure& structure : report.Structures) {
    if (!structure.Probability || !structure.SpinSystems) return std::nullopt;
  }
  tConsensus consensus;
  const std::vector<std::size_t> set = LikelySet(report);
  std::map<int, tSpinSystemFacts> facts;
  for (const std::size_t i : set) {
    Share(consensus.Likely, report.Structures[i]);
    AddStructure(report.Structures[i], facts);
  }
  for (auto& [line, entry] : facts) {
    SortValues(entry.Residue);
    SortValues(entry.Attachment);
    entry.ResidueSettled = Settled(entry.Residue, set.size());
    entry.AttachmentSettled = Settled(entry.Attachment, set.size());
    if (!entry.AttachmentSettled) {
      for (const tAttachmentValue& value : entry.Attachment) {
        if (value.Phosphate) continue;
        tDecidingLink link{line, value.Position, value.Carrier, value.Sharers, {}};
        for (const std::size_t i : set) {
          const tReportStructure& structure = report.Structures[i];
          if (std::find(value.Sharers.Ranks.begin(), value.Sharers.Ranks.end(),
                        structure.Rank) == value.Sharers.Ranks.end()) {
            Share(link.Absent, structure);
          }
        }
        consensus.Deciding.push_back(std::move(link));
      }
    }
    consensus.SpinSystems.push_back(std::move(entry));
  }
  std::stable_sort(consensus.Deciding.begin(), consensus.Deciding.end(),
                   [](const tDecidingLink& a, const tDecidingLink& b) {
                     return std::abs(a.Present.Probability - a.Absent.Probability) <
                            std::abs(b.Present.Probability - b.Absent.Probability);
                   });
  return consensus;
}

std::string LinkLineText(const tDecidingLink& link) {
  return "LINK: " + std::to_string(link.From + 1) + " (1->" + std::to_string(link.Position) +
         ") " + std::to_string(link.To + 1);
}

std::string RankList(const std::vector<std::size_t>& ranks) {
  std::string text;
  for (std::size_t k = 0; k < ranks.size(); ++k) {
    if (k > 0) text += k + 1 == ranks.size() ? " and " : ", ";
    text += std::to_string(ranks[k]);
  }
  return text;
}

std::string DecidingText(const tDecidingLink& link) {
  std::string text = "HMBC H-1 of spin system " + std::to_string(link.From + 1) + " / C-" +
                     std::to_string(link.Position) + " of spin system " +
                     std::to_string(link.To + 1) + ": present in " + RankList(link.Present.Ranks) +
                     " (" + FormatProbability(link.Present.Probability) + ")";
  if (!link.Absent.Ranks.empty()) {
    text += ", absent in " + RankList(link.Absent.Ranks) + " (" +
            FormatProbability(link.Absent.Probability) + ")";
  }
  return text;
}

}  // namespace glycomb
