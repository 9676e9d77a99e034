#include "report/consensus.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report/html_report.hpp"
#include "report/iupac.hpp"
#include "report/json_report.hpp"
#include "report/report_fixture.hpp"
#include "support/xml_document.hpp"

namespace glycomb {
namespace {

tReportStructure Polymer(testing::ShippedUnits& units, std::size_t rank, const std::string& record,
                         std::vector<int> spin_systems, double probability) {
  tReportStructure structure;
  structure.Rank = rank;
  structure.MeanDeviation = "0.50";
  structure.Unit = units.Unit(record);
  structure.Iupac = IupacRepeatingUnit(structure.Unit);
  structure.SpinSystems = std::move(spin_systems);
  structure.Probability = probability;
  return structure;
}

// Four polymers on the spin systems 1..3, the probabilities binary fractions so that sums are exact:
//   1 (1/2)    bGal(1) at O-3 of aGal(2), aGal at O-4 of bGlc(3), bGlc at O-3 of bGal
//   2 (5/16)   the same, but bGal on a phosphate that is at O-4 of aGal
//   3 (5/32)   the residue on 2 is bGal, attached at O-6 of bGlc
//   4 (1/32)   as 1 with bGlc at O-2 of bGal: outside the likely set (1..3 reach 0.96875)
tSearchReport SmallReport(testing::ShippedUnits& units) {
  tSearchReport report;
  report.Structures = {
      Polymer(units, 1, "3)bDGal-3)aDGal-4)bDGlc-", {0, 1, 2}, 0.5),
      Polymer(units, 2, "3)bDGal-P-4)aDGal-4)bDGlc-", {0, -1, 1, 2}, 0.3125),
      Polymer(units, 3, "3)bDGal-3)bDGal-6)bDGlc-", {0, 1, 2}, 0.15625),
      Polymer(units, 4, "2)bDGal-3)aDGal-4)bDGlc-", {0, 1, 2}, 0.03125),
  };
  report.OutsideList = 0.0;
  return report;
}

// Worked by hand: on 1 the residue is settled, the attachment open (2 at O-3 in 1 and 3, the
// phosphate in 2); on 2 both are open; on 3 both are settled, since 4 is not in the set. Only the
// attachments to spin systems give LINK lines; those of 2 split 0.8125 / 0.15625, that of 1
// 0.65625 / 0.3125, which is the more even and comes first.
TEST(ConsensusTest, SettledOpenAndDecidingOfASmallReport) {
  testing::ShippedUnits units;
  const tSearchReport report = SmallReport(units);

  const nlohmann::json data = nlohmann::json::parse(SearchReportJson(report));
  const auto residue = [](const char* name, const char* iupac, const char* anomeric,
                          std::vector<int> ranks, double probability) {
    return nlohmann::json{{"name", name},
                          {"iupac", iupac},
                          {"anomeric", anomeric},
                          {"absolute", "D"},
                          {"structures", ranks},
                          {"probability", probability}};
  };
  const auto attached = [](nlohmann::json spin_system, nlohmann::json position,
                           std::vector<int> ranks, double probability) {
    return nlohmann::json{{"phosphate", spin_system.is_null()},
                          {"spin_system", spin_system},
                          {"position", position},
                          {"structures", ranks},
                          {"probability", probability}};
  };
  const auto feature = [](bool settled, std::vector<nlohmann::json> alternatives) {
    return nlohmann::json{{"settled", settled}, {"alternatives", alternatives}};
  };
  const nlohmann::json expected_systems = {
      {{"spin_system", 1},
       {"residue", feature(true, {residue("Gal", "β-D-Galp", "beta", {1, 2, 3}, 0.96875)})},
       {"attached_to",
        feature(false, {attached(2, 3, {1, 3}, 0.65625), attached(nullptr, nullptr, {2}, 0.3125)})}},
      {{"spin_system", 2},
       {"residue", feature(false, {residue("Gal", "α-D-Galp", "alpha", {1, 2}, 0.8125),
                                   residue("Gal", "β-D-Galp", "beta", {3}, 0.15625)})},
       {"attached_to",
        feature(false, {attached(3, 4, {1, 2}, 0.8125), attached(3, 6, {3}, 0.15625)})}},
      {{"spin_system", 3},
       {"residue", feature(true, {residue("Glc", "β-D-Glcp", "beta", {1, 2, 3}, 0.96875)})},
       {"attached_to", feature(true, {attached(1, 3, {1, 2, 3}, 0.96875)})}},
  };
  const nlohmann::json& consensus = data.at("consensus");
  EXPECT_EQ(consensus.at("structures"), nlohmann::json({1, 2, 3}));
  EXPECT_EQ(consensus.at("probability"), 0.96875);
  EXPECT_EQ(consensus.at("spin_systems"), expected_systems);

  std::vector<std::string> texts;
  for (const auto& link : consensus.at("deciding")) {
    texts.push_back(link.at("link").get<std::string>() + " | " + link.at("text").get<std::string>());
  }
  EXPECT_EQ(texts, (std::vector<std::string>{
                       "LINK: 1 (1->3) 2 | HMBC H-1 of spin system 1 / C-3 of spin system 2: "
                       "present in 1 and 3 (0.66), absent in 2 (0.31)",
                       "LINK: 2 (1->4) 3 | HMBC H-1 of spin system 2 / C-4 of spin system 3: "
                       "present in 1 and 2 (0.81), absent in 3 (0.16)",
                       "LINK: 2 (1->6) 3 | HMBC H-1 of spin system 2 / C-6 of spin system 3: "
                       "present in 3 (0.16), absent in 1 and 2 (0.81)",
                   }));
  EXPECT_EQ(consensus.at("deciding")[0].at("absent_probability"), 0.3125);
  EXPECT_EQ(data.at("structures")[1].at("probability"), 0.3125);
  EXPECT_EQ(data.at("outside_list"), 0.0);
}

// The page opens with the summary and the consensus, in the letters of the best structure's
// drawing, and every rank it names links to that structure's section. A report without
// probabilities has none of it, on the page or in the JSON.
TEST(ConsensusTest, SummaryAndConsensusOnThePage) {
  testing::ShippedUnits units;
  tSearchReport report = SmallReport(units);
  const testing::XmlDocument page(SearchReportPage(report));
  ASSERT_TRUE(page.WellFormed()) << page.Error();
  const auto rows = [&](const char* table) {
    std::vector<std::string> texts;
    for (xmlNode* row : testing::ElementsNamed(testing::WithClass(page.Root(), table).at(0), "tr")) {
      std::string text;
      for (xmlNode* cell : testing::ElementsNamed(row, "td")) text += testing::TextOf(cell) + "|";
      if (!text.empty()) texts.push_back(text);
    }
    return texts;
  };
  const std::vector<std::string> summary = rows("summary");
  ASSERT_EQ(summary.size(), 5u);
  EXPECT_EQ(summary[1].substr(0, summary[1].find("|→")), "2|0.31|0.50");
  EXPECT_EQ(summary[4], "Outside the list: at most 0.00|");
  EXPECT_EQ(rows("settled"), (std::vector<std::string>{
                                 "spin system 1 (A)|β-D-Galp|open|",
                                 "spin system 2 (B)|open|open|",
                                 "spin system 3 (C)|β-D-Glcp|(1→3) spin system 1 (A)|",
                             }));
  std::vector<std::string> open;
  for (xmlNode* item : testing::ElementsNamed(testing::WithClass(page.Root(), "open").at(1), "li")) {
    open.push_back(testing::TextOf(item));
  }
  EXPECT_EQ(open, (std::vector<std::string>{
                      "spin system 1 (A), attached to: (1→3) spin system 2 (B) 0.66 (1, 3); "
                      "phosphate 0.31 (2)",
                      "spin system 2 (B), residue: α-D-Galp 0.81 (1, 2); β-D-Galp 0.16 (3)",
                      "spin system 2 (B), attached to: (1→4) spin system 3 (C) 0.81 (1, 2); "
                      "(1→6) spin system 3 (C) 0.16 (3)",
                  }));
  EXPECT_EQ(
      testing::ElementsNamed(testing::WithClass(page.Root(), "deciding").at(0), "li").size(), 3u);
  std::vector<std::string> ids;
  for (xmlNode* element : testing::Elements(page.Root())) {
    ids.push_back(testing::Attribute(element, "id"));
    if (ids.back() == "rank-2") {
      const std::string section = testing::TextOf(element);
      EXPECT_NE(section.find("probability 0.31"), std::string::npos) << section;
      EXPECT_NE(section.find("Spin systems: A 1 B – C 2 D 3"), std::string::npos) << section;
    }
  }
  for (xmlNode* link : testing::ElementsNamed(page.Root(), "a")) {
    const std::string target = testing::Attribute(link, "href").substr(1);
    EXPECT_NE(std::find(ids.begin(), ids.end(), target), ids.end()) << target;
  }

  for (tReportStructure& structure : report.Structures) structure.Probability.reset();
  report.OutsideList.reset();
  const std::string plain = SearchReportPage(report) + SearchReportJson(report);
  for (const char* part : {"robabilit", "summary", "Settled", "Open", "decid", "outside",
                           "consensus", "<a "}) {
    EXPECT_EQ(plain.find(part), std::string::npos) << part;
  }
}

// The likely set: the fewest polymers in rank order that reach 0.95 (a sum that reaches it only
// up to rounding counts), or all of them.
TEST(ConsensusTest, LikelySetIsTheShortestPrefixReachingTheMass) {
  const struct {
    std::vector<double> probabilities;
    std::vector<std::size_t> likely;
  } cases[] = {
      {{0.97, 0.02, 0.01}, {1}},
      {{0.95, 0.05}, {1}},
      {{0.57, 0.29, 0.09, 0.05}, {1, 2, 3}},  // 0.9499999999999998 in binary
      {{0.5, 0.3, 0.1, 0.06}, {1, 2, 3, 4}},
      {{0.4, 0.3}, {1, 2}},
  };
  testing::ShippedUnits units;
  const tReportUnit unit = units.Unit("3)bDGal-3)aDGal-");
  for (const auto& c : cases) {
    tSearchReport report;
    for (std::size_t k = 0; k < c.probabilities.size(); ++k) {
      tReportStructure structure;
      structure.Rank = k + 1;
      structure.Unit = unit;
      structure.SpinSystems = std::vector<int>{0, 1};
      structure.Probability = c.probabilities[k];
      report.Structures.push_back(structure);
    }
    const std::optional<tConsensus> consensus = FindConsensus(report);
    ASSERT_TRUE(consensus) << c.probabilities.size();
    EXPECT_EQ(consensus->Likely.Ranks, c.likely) << c.probabilities[0];
    EXPECT_TRUE(consensus->Deciding.empty());

    // Without a probability or a spin-system assignment on any structure there is none.
    report.Structures.back().Probability.reset();
    EXPECT_FALSE(FindConsensus(report));
    report.Structures.back().Probability = 0.0;
    report.Structures.front().SpinSystems.reset();
    EXPECT_FALSE(FindConsensus(report));
  }
}

}  // namespace
}  // namespace glycomb
