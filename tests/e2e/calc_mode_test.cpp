// /CALC end to end: the whole printout for structures of the test data set, with every shift
// worked out by hand from that data (test_reference_data.hpp), in tenths of a ppm.
#include <gtest/gtest.h>

#include <string>

#include "e2e/test_reference_data.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::kBanner;
using testing::kPressAnyKey;
using testing::RunProgram;
using testing::TempDir;

struct tCalcCase {
  const char* record;
  const char* printout;  // from "The structure is: " to the empty line after the sorted spectrum
};

// Phosphate, topology -[x2-x1]=x0-: node 0 beta Hex carries itself at 3 and the phosphate of
// node 1 at 4; the phosphate carries the alditol Gol of node 2.
// Node 0: no two-substituent set at 3 and 4 (not even a near one), so terminal
// 970 750 770 710 770 620 + noaDDbS3 (0 -15 +90 -5 0 0, C1 effect 70 to itself) + nneDDxP4
// (0 0 -5 +40 -5 0, no C1 effect for a phosphate) = 970 735 855 745 765 620; beta ring code 0:
// C2 -10. Node 1 gives the Gol's C1 +35 and C2 -15 (its #P key nooXXxA1). Node 2 is the terminal
// Gol 630 730 630, an alditol without ring corrections.
// Totals: Hex 1040 725 855 745 765 620; Gol 665 715 630. The phosphate row is its label alone.
const tCalcCase kPhosphate = {
    "-[cDGol-P-]-4]3)bDHex-",
    "The structure is: -[DGol--P-]=4]3)bDHex--\n"
    "Topology: -[xx]x-\n"
    "\n"
    "The calculated C13 spectrum is:\n"
    "\n"
    "   <residue>      C1    C2    C3    C4    C5    C6 \n"
    "=4]3)b-D-Hex-   104.0  72.5  85.5  74.5  76.5  62.0\n"
    "    -P-        \n"
    "     D-Gol-      66.5  71.5  63.0\n"
    "\n"
    "Sorted spectrum:\n"
    "62.0  63.0  66.5  71.5  72.5  74.5  76.5  85.5  104.0  \n"
    "\n"};

// N-linked, topology -[x1]=x0-: node 0 alpha Gan carries itself at 3 and the N-linked Acy at 2.
// The lower position holds the N-linked Acy, so no shift set is looked up: terminal
// 920 510 690 700 720 620; the N-link at 2 gives C2 -30, C1 and C3 +10 (930 480 700 ...); then
// nnaDDaS3 (0 -10 +90 0 0 0, C1 effect 60 to itself) = 930 470 790 700 720 620; alpha ring code 4
// sets C2 to 0 and C5 to +5. Acy is its terminal 1750 95; an N-link gives its C1 nothing.
// 95 is written " 9.5" in the sorted line.
const tCalcCase kNLinked = {
    "-[cDAcy-]-2]3)aDGan-",
    "The structure is: -[DAcy-]=2]3)aDGan--\n"
    "Topology: -[x]x-\n"
    "\n"
    "The calculated C13 spectrum is:\n"
    "\n"
    "   <residue>      C1    C2    C3    C4    C5    C6 \n"
    "=2]3)a-D-Gan-    99.0  47.0  79.0  70.0  72.5  62.0\n"
    "     D-Acy-     175.0   9.5\n"
    "\n"
    "Sorted spectrum:\n"
    " 9.5  47.0  62.0  70.0  72.5  79.0  99.0  175.0  \n"
    "\n"};

TEST(CalcModeTest, PrintoutsWorkedOutByHand) {
  for (const tCalcCase& c : {kPhosphate, kNLinked}) {
    TempDir dir;
    testing::WriteTestReferenceData(dir);
    dir.Write("SUGAR.STR", std::string("; structure\n") + c.record + "\n");
    const auto result = RunProgram(dir.Path(), {"/calc", "sugar"});
    EXPECT_EQ(result.Output, kBanner + std::string(c.printout) + kPressAnyKey) << c.record;
    EXPECT_EQ(result.ExitCode, 0);
  }
}

}  // namespace
}  // namespace glycomb
