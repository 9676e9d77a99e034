// LINK lines and one entry per polymer, end to end: a task worked out by hand, and polymers that
// the table would list twice, written from two residues of their main chain.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "e2e/test_reference_data.hpp"
#include "search/best_structures.hpp"
#include "support/in_process.hpp"
#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::RunProgram;
using testing::SearchInProcess;
using testing::TempDir;

// Two alpha Hex of the test data, entry 1 carrying entry 2 at O-3 only, entry 2 carrying entry 1
// at q = 2, 3, 4 or 6: four structures, all of the linear topology.
//   Entry 1 (A) at 3 takes the one-substituent set aS(2O,2A,DD,N)3 (930 705 825 700 720 615),
//   which hands +6.5 ppm on to the C1 of B. B at q: q = 2 terminal + noaDDaS2 + C5 +0.5 =
//   930 800 730 710 725 620, C1 effect 4.0; q = 3 the same set as A; q = 4 930 720 730 780 715
//   620, C1 effect 3.0; q = 6 930 720 740 710 710 685, C1 effect 2.0. With the C1 effects:
//     q = 2: A 970 705 825 700 720 615, B 995 800 730 710 725 620
//     q = 3: A 995 705 825 700 720 615, B 995 705 825 700 720 615
//     q = 4: A 960 705 825 700 720 615, B 995 720 730 780 715 620
//     q = 6: A 950 705 825 700 720 615, B 995 720 740 710 710 685
// Against line 1 = 995 800 730 710 725 620 and line 2 = 950 705 825 700 720 615:
//   A on 2, B on 1: q = 2: 20 + 0 = 20; q = 3: 45 + 210 = 255; q = 4: 10 + 160 = 170;
//                   q = 6: 0 + 170 = 170.
//   A on 1, B on 2: q = 2: 235 + 255 = 490; q = 3: 210 + 45 = 255; q = 4: 245 + 245 = 490;
//                   q = 6: 255 + 235 = 490.
// No LINK: the cheaper assignment of each, 20, 255, 170, 170 (Dev. = sum / 120 ppm).
// LINK: 2 (1->3) 1 puts the residue attached at O-3 of the other on line 2: that is B (at O-3 of
//   A), so A on 1 and B on 2, except for q = 3 where A too is attached at O-3: either way.
//   Sums 490, 255, 490, 490.
// LINK: 1 (1->4) 2 needs the residue on line 1 attached at O-4 of the other: only A with q = 4,
//   A on 1: 490; the other three meet it in no assignment and cannot enter the table, yet count
//   among the structures checked.
TEST(LinkSearchTest, ATaskWorkedOutByHand) {
  TempDir dir;
  testing::WriteTestReferenceData(dir);
  const std::string task =
      "3x)aDHex ?x)aDHex\n995 800 730 710 725 620\n950 705 825 700 720 615\nSPINSYSTEMS\n";
  const struct {
    const char* link;
    std::vector<std::string> entries;
  } cases[] = {
      {"",
       {" 1: -3)aDHex--2)aDHex--\t(xx)\t Dev.: 0.17\t Spin systems: 2 1",
        " 2: -3)aDHex--4)aDHex--\t(xx)\t Dev.: 1.42\t Spin systems: 2 1",
        " 3: -3)aDHex--6)aDHex--\t(xx)\t Dev.: 1.42\t Spin systems: 2 1",
        " 4: -3)aDHex--3)aDHex--\t(xx)\t Dev.: 2.13\t Spin systems: 1 2"}},
      {"LINK: 2 (1->3) 1\n",
       {" 1: -3)aDHex--3)aDHex--\t(xx)\t Dev.: 2.13\t Spin systems: 1 2",
        " 2: -3)aDHex--2)aDHex--\t(xx)\t Dev.: 4.08\t Spin systems: 1 2",
        " 3: -3)aDHex--4)aDHex--\t(xx)\t Dev.: 4.08\t Spin systems: 1 2",
        " 4: -3)aDHex--6)aDHex--\t(xx)\t Dev.: 4.08\t Spin systems: 1 2"}},
  };
  for (const auto& c : cases) {
    dir.Write("TASK.TSK", task + c.link);
    const auto run = SearchInProcess(dir.Path(), "TASK", {false, 1});
    ASSERT_TRUE(run.Completed) << run.Output;
    EXPECT_EQ(run.Checked, 4);
    for (const std::string& entry : c.entries) {
      EXPECT_NE(run.Result.find(entry + "\r\n"), std::string::npos) << c.link << entry << "\n" << run.Result;
    }
  }
  dir.Write("TASK.TSK", task + "LINK: 1 (1->4) 2\n");
  std::filesystem::remove(dir / "TASK.RES");
  const auto run = RunProgram(dir.Path(), {"TASK"});
  EXPECT_NE(run.Output.find("\n4 structures checked.\n"), std::string::npos) << run.Output;
  // The carbon table that follows is that of any search against spin systems.
  const std::string result = dir.Read("TASK.RES");
  EXPECT_TRUE(result.starts_with(
      "The monomeric composition and constraints are:\r\n3x)aDHex ?x)aDHex\r\n"
      "Scored residue by residue against 2 spin systems (the spectrum lines, numbered in "
      "the order of the task)\r\nGiven: LINK: 1 (1->4) 2\r\n\r\n"
      "Here is 1 structure that match the spectrum the best:\r\n\r\nLinear:\r\n"
      " 1: -3)aDHex--4)aDHex--\t(xx)\t Dev.: 4.08\t Spin systems: 1 2\t Probability: 1.00\r\n"
      "Widespread branched:\r\nabsent\r\nRarely-ocurring branched:\r\nabsent\r\n\r\n"
      "Probability that the structure is none of these: at most 0.00\r\n\r\n"))
      << result;
}

// The same polymer written from two residues of its main chain: a linear unit of four residues
// whose two rotations starting at either mannose are ranks 1 and 2 without DISTINCT, and a
// branched unit ([x]x[x]x) written from its mannose or from its rhamnose. Each spectrum is the
// unit's own, so its polymer is first; with DISTINCT the list keeps it once and is filled with the
// next polymers, no polymer twice.
TEST(LinkSearchTest, DistinctKeepsEveryPolymerOnce) {
  TempDir dir;
  testing::CopyShippedData(dir);
  const struct {
    const char* unit;
    const char* spectrum;
  } cases[] = {
      {"2)aDMan-3)aLRha-2)aDMan-4)bDGlc-",
       "950 784 707 681 734 616 991 667 749 711 692 175 993 758 708 679 739 619 "
       "1024 740 771 770 754 616"},
      {"[bDGlc-]-3]2)aDMan-[aDMan-]-4]2)aLRha-",
       "958 739 785 663 743 620 961 758 687 815 690 177 1013 742 768 707 768 618 "
       "1021 712 713 679 738 620"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.unit);
    for (const bool distinct : {false, true}) {
      dir.Write("TASK.TSK", std::string("aDMan aDMan bDGlc aLRha\n") + c.spectrum +
                                "\nLIMIT: 6\n" + (distinct ? "DISTINCT\n" : ""));
      tRun run;
      ASSERT_TRUE(testing::LoadInProcess(dir.Path(), "TASK", run));
      const auto search = SearchInProcess(dir.Path(), "TASK", {false, 2});
      ASSERT_TRUE(search.Completed) << search.Output;
      ASSERT_EQ(search.Kept.size(), 6u);
      std::vector<std::uint8_t> names;
      for (const tTaskResidue& entry : run.Task.Residues) names.push_back(entry.NameIndex);
      std::vector<tPolymerKey> keys(6);
      for (std::size_t k = 0; k < 6; ++k) {
        PolymerKey(search.Kept[k].Structure, run.Topologies[search.Kept[k].Structure.Topology],
                   names.data(), keys[k]);
      }
      int twice = 0;
      for (std::size_t a = 0; a < 6; ++a) {
        for (std::size_t b = a + 1; b < 6; ++b) twice += keys[a] == keys[b];
      }
      // The unit's own polymer comes first, with the deviation 0; without DISTINCT written a
      // second time as rank 2.
      EXPECT_EQ(search.Kept[0].Deviation, 0u);
      if (distinct) {
        EXPECT_EQ(twice, 0) << search.Result;
      } else {
        EXPECT_TRUE(keys[0] == keys[1]) << search.Result;
      }
    }
  }
}

}  // namespace
}  // namespace glycomb
