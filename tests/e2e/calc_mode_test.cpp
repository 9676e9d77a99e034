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

// One residue carrying itself at 4: no one-substituent set for position 4, so the terminal
// shifts 930 720 740 710 720 620, the ring corrections of an alpha ring code 0 (C2 set to 0,
// C5 set to +5) and the effect noaDDaS4 (0 0 -10 +70 -10 0, C1 effect 30, which goes to the
// residue's own C1): 930+30, 720+0, 730, 780, 710+5, 620.
const tCalcCase kOneResidue = {
    "4)aDHex-",
    "The structure is: -4)aDHex--\n"
    "Topology: -x-\n"
    "\n"
    "The calculated C13 spectrum is:\n"
    "\n"
    "   <residue>      C1    C2    C3    C4    C5    C6 \n"
    "  -4)a-D-Hex-    96.0  72.0  73.0  78.0  71.5  62.0\n"
    "\n"
    "Sorted spectrum:\n"
    "62.0  71.5  72.0  73.0  78.0  96.0  \n"
    "\n"};

// Linear: node 0 alpha Hex carries the beta Gan at 3, node 1 beta Gan carries the Hex at 4.
// Hex: the one-substituent set bS(2N,2A,DD,N)3 is taken as it stands (935 710 830 700 725 615,
// no ring corrections); its C1 effect 75 goes to the Gan's C1.
// Gan: no set for one substituent at 4, so terminal 1020 560 730 690 760 620 + noaDDaS4 from the
// amino block #galn (0 0 -15 +80 -20 0) = 1020 560 715 770 740 620; ring code 4 beta sets C2 to
// -14 and C5 to 0; its C1 effect 45 goes to the Hex's C1.
// Hex 935+45 710 830 700 725 615; Gan 1020+75 560-14 715 770 740 620.
const tCalcCase kLinear = {
    "-3)aDHex-4)bDGan-",
    "The structure is: -3)aDHex--4)bDGan--\n"
    "Topology: -xx-\n"
    "\n"
    "The calculated C13 spectrum is:\n"
    "\n"
    "   <residue>      C1    C2    C3    C4    C5    C6 \n"
    "  -3)a-D-Hex-    98.0  71.0  83.0  70.0  72.5  61.5\n"
    "  -4)b-D-Gan-   109.5  54.6  71.5  77.0  74.0  62.0\n"
    "\n"
    "Sorted spectrum:\n"
    "54.6  61.5  62.0  70.0  71.0  71.5  72.5  74.0  77.0  83.0  98.0  109.5  \n"
    "\n"};

// Branched, topology -[x2]=x0-x1-: node 0 alpha Hex carries the beta Hex of node 1 at 6 (main
// chain) and the beta Gan of node 2 at 4 (side chain); node 1 carries node 0 at 3.
// Node 0: the lower position 4 holds the Gan, so the two-substituent set
// bS(2N,2A,DD,N)4/bS(2O,2A,DD,N)6 applies: 930 720 730 790 710 680; C1 effect 80 to the Gan, 60
// to the beta Hex.
// Node 1: no set, terminal 970 750 770 710 770 620 + noaDDaS3 (0 -10 +85 -5 0 0) =
// 970 740 855 705 770 620; beta ring code 0 sets C2 to -10, C5 to 0; C1 effect 55 to node 0.
// Node 2: terminal 1020 560 730 690 760 620, beta ring code 4: C2 -14.
// Totals: node 0 985 720 730 790 710 680; node 1 970+60 730 855 705 770 620;
// node 2 1020+80 546 730 690 760 620.
const tCalcCase kBranched = {
    "-[bDGan-]-4]6)aDHex-3)bDHex-",
    "The structure is: -[bDGan-]=4]6)aDHex--3)bDHex--\n"
    "Topology: -[x]xx-\n"
    "\n"
    "The calculated C13 spectrum is:\n"
    "\n"
    "   <residue>      C1    C2    C3    C4    C5    C6 \n"
    "=4]6)a-D-Hex-    98.5  72.0  73.0  79.0  71.0  68.0\n"
    "  -3)b-D-Hex-   103.0  73.0  85.5  70.5  77.0  62.0\n"
    "     b-D-Gan-   110.0  54.6  73.0  69.0  76.0  62.0\n"
    "\n"
    "Sorted spectrum:\n"
    "54.6  62.0  62.0  68.0  69.0  70.5  71.0  72.0  73.0  73.0  73.0  76.0  77.0  79.0  85.5  "
    "98.5  103.0  110.0  \n"
    "\n"};

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
  for (const tCalcCase& c : {kOneResidue, kLinear, kBranched, kPhosphate, kNLinked}) {
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
