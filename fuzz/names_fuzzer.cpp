// NAMES.PS: the residue name database, and the class name of every record it accepts.
#include "databases/names_database.hpp"
#include "fuzz_frame.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glycomb;
  fuzz::SetUp();
  fuzz::WriteInput("NAMES.PS", data, size);
  tResidueTable table;
  {
    fuzz::InFuzzDirectory here;
    if (!ReadNamesDatabase(table)) return 0;
  }
  for (const tNameRecord& record : table) {
    ResidueClassName(record);
    FindResidueName(table, record.Name);
  }
  return 0;
}
