// Out-of-memory handling of the catalogue builder. Replaces the global allocation functions of the
// test program so that one chosen allocation fails; all others behave as usual.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>
#include <string>

#include "topology/topology_catalogue.hpp"

namespace {
long AllocationsBeforeFailure = -1;  // -1: never fail
}  // namespace

void* operator new(std::size_t size) {
  if (AllocationsBeforeFailure == 0) {
    AllocationsBeforeFailure = -1;
    throw std::bad_alloc();
  }
  if (AllocationsBeforeFailure > 0) --AllocationsBeforeFailure;
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
// operator new above hands out malloc memory, so free is the matching release; GCC
// cannot tell that inside a replacement operator delete.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void operator delete(void* memory) noexcept { std::free(memory); }
#pragma GCC diagnostic pop
void operator delete(void* memory, std::size_t) noexcept { ::operator delete(memory); }

namespace glycomb {
namespace {

TEST(TopologyMemoryTest, EveryFailedAllocationIsReportedAndLeavesNoTable) {
  int failures = 0;
  for (long fail_at = 0;; ++fail_at) {
    tTopologyTable table;
    ASSERT_TRUE(BuildTopologyCatalogue(2, table));
    testing::internal::CaptureStdout();
    AllocationsBeforeFailure = fail_at;
    const bool built = BuildTopologyCatalogue(5, table);
    const bool failure_was_due = AllocationsBeforeFailure == -1;
    AllocationsBeforeFailure = -1;
    const std::string output = testing::internal::GetCapturedStdout();
    if (built) {
      EXPECT_FALSE(failure_was_due);
      EXPECT_EQ(output, "");
      EXPECT_EQ(table.size(), 10u);
      break;
    }
    ++failures;
    EXPECT_EQ(output, "\nInsufficient memory allocating topology space\nCan't continue\n\n");
    EXPECT_TRUE(table.empty());
  }
  EXPECT_GT(failures, 10);
}

}  // namespace
}  // namespace glycomb
