// EFFECTS.PS: the effects database, read for a composition whose residues reach every kind of
// block: a class and a name block in both forms (Glc), an amino block (GlcN), a furanose (Galf),
// a pentose (Xyl), an alditol (Gro), an N-linked non-sugar (Hbu) and a phosphate.
#include <string>
#include <utility>
#include <vector>

#include "databases/effects_database.hpp"
#include "databases/shift_table.hpp"
#include "fuzz_frame.hpp"
#include "input/task.hpp"

namespace {

glycomb::tTask Composition() {
  using namespace glycomb;
  const std::vector<std::pair<const char*, std::uint8_t>> entries = {
      {"Glc", kAnomericUnknown}, {"GlcN", kAnomericBeta}, {"Galf", kAnomericAlpha},
      {"Xyl", kAnomericUnknown}, {"Gro", kAnomericNone},  {"Hbu", kAnomericNone},
      {nullptr, kAnomericNone}};
  tTask task;
  task.ResidueCount = static_cast<std::uint8_t>(entries.size());
  task.Residues.resize(entries.size() + 1);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    tTaskResidue& residue = task.Residues[i + 1];
    residue.Anomeric = entries[i].second;
    residue.NameIndex =
        entries[i].first == nullptr ? 0 : FindResidueName(fuzz::ShippedResidues(), entries[i].first);
  }
  return task;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glycomb;
  fuzz::SetUp();
  static const tTask task = Composition();
  fuzz::WriteInput("EFFECTS.PS", data, size);
  tShiftTable table;
  table.Create(task.ResidueCount);
  fuzz::InFuzzDirectory here;
  ReadEffectsDatabase(fuzz::ShippedResidues(), task.Residues, table);
  return 0;
}
