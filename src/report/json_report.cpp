#include "report/json_report.hpp"

#include <cmath>
#include <nlohmann/json.hpp>

#include "report/consensus.hpp"
#include "report/markup.hpp"
#include "report/residue_symbols.hpp"
#include "report/stick_plot.hpp"

namespace glycomb {
namespace {

using json = nlohmann::ordered_json;

double InPpm(std::int32_t tenths) { return tenths / 10.0; }

json PpmList(const signal_array& shifts) {
  json list = json::array();
  for (const std::int32_t shift : shifts) list.push_back(InPpm(shift));
  return list;
}

json Anomeric(std::uint8_t anomeric) {
  return anomeric == kAnomericAlpha  ? json("alpha")
         : anomeric == kAnomericBeta ? json("beta")
                                     : json();
}

// `links`: whether the task has LINK lines; every residue then says which one fixed the bond to
// its carrier (an index into the task's "links", or null).
json Residues(const tReportStructure& structure, const std::vector<signal_array>& matching,
              bool links) {
  const tReportUnit& unit = structure.Unit;
  // Carrier and position of every residue; the first residue of the main chain carries the last.
  std::vector<json> carrier(unit.Residues.size()), position(unit.Residues.size());
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    const tReportResidue& residue = unit.Residues[r];
    const std::pair<int, std::uint8_t> children[] = {{residue.ChainChild, residue.ChainPosition},
                                                     {residue.BranchChild, residue.BranchPosition}};
    for (const auto& [child, at] : children) {
      if (child == kNoResidue) continue;
      carrier[static_cast<std::size_t>(child)] = ResidueTag(r);
      position[static_cast<std::size_t>(child)] = residue.Phosphate ? json() : json(at);
    }
  }
  json list = json::array();
  for (std::size_t r = 0; r < unit.Residues.size(); ++r) {
    const tReportResidue& residue = unit.Residues[r];
    json entry = {
        {"tag", ResidueTag(r)},
        {"name", residue.Name},
        {"iupac", IupacResidueName(residue, AminoSubstituted(unit, static_cast<int>(r)))},
        {"anomeric", Anomeric(residue.Anomeric)},
        {"absolute", residue.Phosphate ? json() : json(residue.Absolute == kAbsoluteL ? "L" : "D")},
        {"attached_to", carrier[r]},
        {"position", position[r]},
        {"calculated_ppm", PpmList(residue.Calculated)},
        {"measured_ppm", r < matching.size() ? PpmList(matching[r]) : json::array()},
    };
    if (structure.SpinSystems && r < structure.SpinSystems->size()) {
      entry["spin_system"] = (*structure.SpinSystems)[r];
    }
    if (links) entry["link"] = residue.Link == kNoLink ? json() : json(residue.Link);
    list.push_back(std::move(entry));
  }
  return list;
}

json Ranks(const std::vector<std::size_t>& ranks) {
  json list = json::array();
  for (const std::size_t rank : ranks) list.push_back(rank);
  return list;
}

// Spin systems counted from 1, as the task's lines and LINK lines count them.
json ConsensusJson(const tConsensus& consensus) {
  json spin_systems = json::array();
  for (const tSpinSystemFacts& facts : consensus.SpinSystems) {
    json residues = json::array(), attachments = json::array();
    for (const tResidueValue& value : facts.Residue) {
      residues.push_back({{"name", value.Name},
                          {"iupac", value.Iupac},
                          {"anomeric", Anomeric(value.Anomeric)},
                          {"absolute", value.Absolute == kAbsoluteL ? "L" : "D"},
                          {"structures", Ranks(value.Sharers.Ranks)},
                          {"probability", value.Sharers.Probability}});
    }
    for (const tAttachmentValue& value : facts.Attachment) {
      attachments.push_back(
          {{"phosphate", value.Phosphate},
           {"spin_system", value.Phosphate ? json() : json(value.Carrier + 1)},
           {"position", value.Phosphate ? json() : json(value.Position)},
           {"structures", Ranks(value.Sharers.Ranks)},
           {"probability", value.Sharers.Probability}});
    }
    spin_systems.push_back(
        {{"spin_system", facts.SpinSystem + 1},
         {"residue", {{"settled", facts.ResidueSettled}, {"alternatives", std::move(residues)}}},
         {"attached_to",
          {{"settled", facts.AttachmentSettled}, {"alternatives", std::move(attachments)}}}});
  }
  json deciding = json::array();
  for (const tDecidingLink& link : consensus.Deciding) {
    deciding.push_back({{"link", LinkLineText(link)},
                        {"from", link.From + 1},
                        {"position", link.Position},
                        {"to", link.To + 1},
                        {"present", Ranks(link.Present.Ranks)},
                        {"present_probability", link.Present.Probability},
                        {"absent", Ranks(link.Absent.Ranks)},
                        {"absent_probability", link.Absent.Probability},
                        {"text", DecidingText(link)}});
  }
  return {{"structures", Ranks(consensus.Likely.Ranks)},
          {"probability", consensus.Likely.Probability},
          {"spin_systems", std::move(spin_systems)},
          {"deciding", std::move(deciding)}};
}

}  // namespace

std::string SearchReportJson(const tSearchReport& report) {
  const tReportTask& task = report.Task;
  json structures = json::array();
  for (const tReportStructure& structure : report.Structures) {
    const std::vector<signal_array> matching = structure.MatchedShifts
                                                   ? *structure.MatchedShifts
                                                   : RankMatching(structure.Unit, task.Spectrum);
    json entry = {
        {"rank", structure.Rank},
        {"deviation_ppm", InPpm(structure.Deviation)},
        {"mean_deviation_ppm", std::stod(structure.MeanDeviation)},
        {"notation", structure.Notation},
        {"shape", structure.Shape},
        {"topology", std::string(ShapeClassName(structure.ShapeClass))},
        {"iupac", structure.Iupac},
        {"pairing", structure.MatchedShifts ? "assigned" : "rank"},
        {"residues", Residues(structure, matching, !task.Links.empty())},
    };
    if (structure.Offset) entry["offset_ppm"] = InPpm(*structure.Offset);
    if (structure.Probability) entry["probability"] = *structure.Probability;
    structures.push_back(std::move(entry));
  }
  json task_entry = {
      {"file", task.TaskFile},
      {"result_file", task.ResultFile},
      {"composition", task.Composition},
      {"options",
       {{"correction_ppm", InPpm(task.Correction)},
        {"limit", task.Limit},
        {"widespread", task.WideSpread},
        {"spin_systems", task.SpinSystems},
        {"automatic_correction", task.AutoCorrection}}},
  };
  if (!task.Links.empty()) {
    json& links = task_entry["links"] = json::array();
    for (const tLink& link : task.Links) {
      links.push_back({{"from", link.From},
                       {"position", link.Position == 0 ? json() : json(link.Position)},
                       {"to", link.To},
                       {"text", link.Text}});
    }
  }
  task_entry["spectrum_ppm"] = PpmList(task.Spectrum);
  task_entry["structures_checked"] = task.StructuresChecked;
  task_entry["run_time_s"] = std::round(task.ElapsedSeconds * 1000) / 1000;
  json document = {
      {"program", "GLYCOMB"},
      {"task", std::move(task_entry)},
      {"structures", std::move(structures)},
  };
  if (report.OutsideList) document["outside_list"] = *report.OutsideList;
  if (const std::optional<tConsensus> consensus = FindConsensus(report)) {
    document["consensus"] = ConsensusJson(*consensus);
  }
  // Names from data files in another encoding than UTF-8 are written with U+FFFD.
  return document.dump(2, ' ', false, json::error_handler_t::replace) + "\n";
}

}  // namespace glycomb
