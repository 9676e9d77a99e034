// The structure file CALC.STR and its record. A record that reads is written back as text, and a
// written form without side chains and of sugars and phosphates only must read back to the same
// text.
#include <string>

#include "console/console.hpp"
#include "input/structure_notation.hpp"
#include "fuzz_frame.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glycomb;
  fuzz::SetUp();
  fuzz::WriteInput("CALC.STR", data, size);
  const tResidueTable& residues = fuzz::ShippedResidues();
  tTask task;
  tTopologyTable topologies;
  tStructure working;
  {
    fuzz::InFuzzDirectory here;
    if (!ReadStructureFile("calc", residues, task, topologies, working)) return 0;
  }
  std::string shape, text;
  StructureToText(working, topologies, task, residues, shape, text);
  // Side chains are written "]=" and residues without anomeric forms without their "c": such
  // written forms are not meant to read back.
  if (text.find('[') != std::string::npos) return 0;
  for (std::size_t i = 1; i < task.Residues.size(); ++i) {
    if (task.Residues[i].NameIndex != 0 && residues[task.Residues[i].NameIndex].RingKind > kFuranose) {
      return 0;
    }
  }
  tTask again_task;
  tTopologyTable again_topologies;
  tStructure again;
  try {
    ParseStructureRecord(text, "", residues, again_task, again_topologies, again);
  } catch (const EErrorStop&) {
    __builtin_trap();  // the written form of a structure did not read back
  }
  std::string again_shape, again_text;
  StructureToText(again, again_topologies, again_task, residues, again_shape, again_text);
  if (again_text != text) __builtin_trap();
  return 0;
}
