#include "spectrum/structure_model.hpp"

#include <new>

#include "console/checked.hpp"
#include "console/console.hpp"

namespace glycomb {
namespace {

constexpr tRingCorrectionTable MakeC2Correction() {
  tRingCorrectionTable table{};
  for (int code = 0; code < 8; ++code) {
    table[0][0][code] = (code % 2 == 1) ? -5 : 0;
    table[0][1][code] = (code == 4 || code == 6) ? -14 : -10;
  }
  return table;
}

constexpr tRingCorrectionTable MakeC5Correction() {
  tRingCorrectionTable table{};
  for (int code = 0; code < 8; ++code) table[0][0][code] = 5;
  return table;
}

}  // namespace

const tRingCorrectionTable C2Correction = MakeC2Correction();
const tRingCorrectionTable C5Correction = MakeC5Correction();

std::uint8_t OrientationCode(const tNameRecord& record) {
  return static_cast<std::uint8_t>((InSet(record.EquatorialPositions, 4) ? 4 : 0) +
                                   (InSet(record.EquatorialPositions, 3) ? 2 : 0) +
                                   (InSet(record.EquatorialPositions, 2) ? 1 : 0));
}

void BuildCarbonOffsets(tStructureModel& model, const tTask& task, const tResidueTable& residues) {
  const std::vector<tStructureNode>& nodes = model.WorkingStructure.Nodes;
  try {
    model.CarbonOffsets.resize(nodes.size() + 1);
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory maintaining the generated spectrum");
  }
  model.CarbonOffsets[0] = 0;
  for (std::size_t i = 0; i < nodes.size(); ++i) {
    const tTaskResidue& entry = At(task.Residues, nodes[i].Residue);
    model.CarbonOffsets[i + 1] = CheckedAdd<std::uint8_t>(
        model.CarbonOffsets[i], At(residues, entry.NameIndex).CarbonCount);
  }
}

std::uint16_t SizeSpectrumArrays(tStructureModel& model, const tTask& task,
                                 const tResidueTable& residues) {
  std::uint16_t total = 0;
  for (std::size_t i = 1; i <= task.ResidueCount; ++i) {
    total = CheckedAdd<std::uint16_t>(
        total, At(residues, At(task.Residues, i).NameIndex).CarbonCount);
  }
  try {
    model.CalculatedSpectrum.assign(total, 0);
  } catch (const std::bad_alloc&) {
    FatalError("Insufficient memory for generated spectrum storage");
  }
  return total;
}

}  // namespace glycomb
