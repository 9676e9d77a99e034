#include "report/iupac.hpp"

#include <vector>

#include "console/checked.hpp"
#include "report/residue_symbols.hpp"

namespace glycomb {
namespace {

const tReportResidue& ResidueAt(const tReportUnit& unit, int index) {
  return At(unit.Residues, static_cast<std::size_t>(index));
}

// The text between a residue and the residue that carries it at `position`; residues are attached
// through their C1, a phosphate bridges the two.
std::string Linkage(const tReportResidue& child, const tReportResidue& carrier,
                    std::uint8_t position) {
  const std::string at = std::to_string(position);
  if (child.Phosphate) return carrier.Phosphate ? "→" : "→" + at + ")-";
  return carrier.Phosphate ? "-(1→" : "-(1→" + at + ")-";
}

class tIupacWriter {
 public:
  explicit tIupacWriter(const tReportUnit& unit)
      : unit_(unit), written_(unit.Residues.size(), false) {}

  // The residue with everything attached to it, except the closing linkage of the unit.
  std::string Subtree(int index) {
    if (At(written_, static_cast<std::size_t>(index))) CheckFailed("report unit is not a tree");
    written_[static_cast<std::size_t>(index)] = true;
    const tReportResidue& residue = ResidueAt(unit_, index);
    std::string text;
    const bool closes_unit = index == unit_.MainChain.front();
    if (residue.ChainChild != kNoResidue && !closes_unit) {
      text += Subtree(residue.ChainChild) +
              Linkage(ResidueAt(unit_, residue.ChainChild), residue, residue.ChainPosition);
    }
    if (residue.BranchChild != kNoResidue) {
      std::string linkage =
          Linkage(ResidueAt(unit_, residue.BranchChild), residue, residue.BranchPosition);
      if (linkage.ends_with('-')) linkage.pop_back();
      text += "[" + Subtree(residue.BranchChild) + linkage + "]-";
    }
    return text + IupacResidueName(residue, AminoSubstituted(unit_, index));
  }

 private:
  const tReportUnit& unit_;
  std::vector<bool> written_;
};

}  // namespace

std::string IupacRepeatingUnit(const tReportUnit& unit) {
  if (unit.MainChain.empty()) CheckFailed("report unit without a main chain");
  const tReportResidue& first = ResidueAt(unit, unit.MainChain.front());
  const tReportResidue& last = ResidueAt(unit, unit.MainChain.back());
  // The closing linkage, from the last residue to the first, split at the unit's two ends.
  const std::string lead = first.Phosphate ? "→" : "→" + std::to_string(first.ChainPosition) + ")-";
  const std::string tail = last.Phosphate ? "→" : "-(1→";
  return lead + tIupacWriter(unit).Subtree(unit.MainChain.back()) + tail;
}

}  // namespace glycomb
