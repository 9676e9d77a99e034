// A c13data file: the chemical shift database, read for an alpha glucose from A-GLC.DAT.
#include "databases/shift_database.hpp"
#include "databases/shift_table.hpp"
#include "fuzz_frame.hpp"
#include "input/task.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glycomb;
  fuzz::SetUp();
  static const tTask task = [] {
    tTask t;
    t.ResidueCount = 1;
    t.Residues.resize(2);
    t.Residues[1].NameIndex = FindResidueName(fuzz::ShippedResidues(), "Glc");
    t.Residues[1].Anomeric = kAnomericAlpha;
    return t;
  }();
  fuzz::WriteInput("c13data/A-GLC.DAT", data, size);
  tShiftTable table;
  fuzz::InFuzzDirectory here;
  ReadShiftDatabase(fuzz::ShippedResidues(), task.Residues, table);
  return 0;
}
