// The task file TASK.TSK.
#include "input/task_file.hpp"
#include "fuzz_frame.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace glycomb;
  fuzz::SetUp();
  fuzz::WriteInput("TASK.TSK", data, size);
  tTask task;
  fuzz::InFuzzDirectory here;
  ReadTaskFile("task", fuzz::ShippedResidues(), task);
  return 0;
}
