#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "report/html_report.hpp"
#include "report/json_report.hpp"
#include "report/report_fixture.hpp"
#include "support/xml_document.hpp"

namespace glycomb {
namespace {

// NAMES.PS may hold any bytes in a name: markup characters, another encoding than UTF-8, control
// characters. The pages stay well-formed and the JSON is written.
TEST(ReportPagesTest, AnyResidueNameGivesWellFormedPages) {
  tReportStructure structure;
  structure.Rank = 1;
  structure.MeanDeviation = "1.00";
  structure.Notation = "-x-";
  structure.Iupac = "→x";
  const char* names[] = {"A&<", "Gl\xE9", "X\x01y"};
  const std::uint8_t rings[] = {kNonSugar, kPyranose, kAlditol};
  for (int r = 0; r < 3; ++r) {
    tReportResidue residue;
    residue.Name = names[r];
    residue.RingKind = rings[r];
    residue.ChainChild = (r + 2) % 3;
    residue.ChainPosition = 2;
    residue.Calculated = {700 + r, 600};
    structure.Unit.Residues.push_back(residue);
  }
  structure.Unit.MainChain = {0, 1, 2};
  tSearchReport report;
  report.Task.TaskFile = "T\xE9.TSK";
  report.Task.Spectrum = {600, 600, 600, 700, 701, 702};
  report.Structures = {structure};

  const testing::XmlDocument page(SearchReportPage(report));
  ASSERT_TRUE(page.WellFormed()) << page.Error();
  EXPECT_EQ(testing::WithClass(page.Root(), "residue").size(), 3u);
  EXPECT_NE(testing::TextOf(page.Root()).find("A&<"), std::string::npos);
  const testing::XmlDocument calc(StructureReportPage(structure, "S\x02.STR"));
  ASSERT_TRUE(calc.WellFormed()) << calc.Error();

  const nlohmann::json data = nlohmann::json::parse(SearchReportJson(report));
  EXPECT_EQ(data["structures"][0]["residues"][1]["name"], "Gl\uFFFD");
  EXPECT_EQ(data["task"]["file"], "T\uFFFD.TSK");
}

// What a later score sets is shown when set: the offset next to the deviation, the spin-system
// assignment in the structure's block, and the assigned pairing instead of the rank pairing.
TEST(ReportPagesTest, FieldsOfLaterScoresAreShownWhenSet) {
  tReportStructure structure;
  structure.Rank = 1;
  structure.MeanDeviation = "0.50";
  for (const signal_array& shifts : {signal_array{1000, 700}, signal_array{980, 720}}) {
    tReportResidue residue;
    residue.Name = "Glc";
    residue.Anomeric = kAnomericBeta;
    residue.Calculated = shifts;
    structure.Unit.Residues.push_back(residue);
  }
  structure.Unit.Residues[0].ChainChild = 1, structure.Unit.Residues[0].ChainPosition = 4;
  structure.Unit.Residues[1].ChainChild = 0, structure.Unit.Residues[1].ChainPosition = 3;
  structure.Unit.MainChain = {0, 1};
  tSearchReport report;
  report.Task.Spectrum = {690, 730, 990, 1005};
  report.Structures = {structure};

  const auto page_text = [&] {
    const testing::XmlDocument page(SearchReportPage(report));
    return testing::TextOf(testing::ElementsNamed(page.Root(), "body").at(0));
  };
  const std::string plain = page_text();
  EXPECT_EQ(plain.find("offset"), std::string::npos);
  EXPECT_EQ(plain.find("Spin systems"), std::string::npos);
  nlohmann::json data = nlohmann::json::parse(SearchReportJson(report));
  EXPECT_EQ(data["structures"][0]["pairing"], "rank");
  EXPECT_FALSE(data["structures"][0].contains("offset_ppm"));
  EXPECT_EQ(data["structures"][0]["residues"][0]["measured_ppm"],
            nlohmann::json({100.5, 69.0}));

  report.Structures[0].Offset = -8;
  report.Structures[0].SpinSystems = std::vector<int>{1, 0};
  report.Structures[0].MatchedShifts = std::vector<signal_array>{{990, 730}, {1005, 690}};
  const std::string shown = page_text();
  EXPECT_NE(shown.find("offset −0.8 ppm"), std::string::npos) << shown;
  EXPECT_NE(shown.find("Spin systems: A 2 B 1"), std::string::npos) << shown;
  data = nlohmann::json::parse(SearchReportJson(report));
  const auto& entry = data["structures"][0];
  EXPECT_EQ(entry["offset_ppm"], -0.8);
  EXPECT_EQ(entry["pairing"], "assigned");
  EXPECT_EQ(entry["residues"][0]["spin_system"], 1);
  EXPECT_EQ(entry["residues"][1]["measured_ppm"], nlohmann::json({100.5, 69.0}));
}

// A branched unit with a phosphate in its main chain, written A..E:
//   A aDGal at O-2 of B (side chain), B bDGal at O-3 of C, C bDGlc on the phosphate D,
//   D at O-6 of E, E aDGlc at O-3 of B (the bond that closes the unit);
// its residues on the spin systems 3, 1, 4, -, 2 (1-based). A LINK line marks the bond of the
// residue on its first system when that residue's carrier is on its second, at its position or
// any; a phosphate between the two is not a bond between them.
TEST(ReportPagesTest, BondsThatLinkLinesFixed) {
  const std::vector<int> spin_systems = {2, 0, 3, -1, 1};
  const auto link = [](std::uint8_t from, std::uint8_t position, std::uint8_t to) {
    return tLink{from, position, to, ""};
  };
  const struct {
    std::vector<tLink> links;
    std::vector<int> marks;  // by residue, A..E
  } cases[] = {
      {{link(3, 2, 1)}, {0, -1, -1, -1, -1}},   // side chain, at its position
      {{link(3, 4, 1)}, {-1, -1, -1, -1, -1}},  // another position
      {{link(3, 0, 1)}, {0, -1, -1, -1, -1}},   // ?
      {{link(1, 3, 4)}, {-1, 0, -1, -1, -1}},   // main chain
      {{link(2, 3, 1)}, {-1, -1, -1, -1, 0}},   // the closing bond
      {{link(4, 0, 2)}, {-1, -1, -1, -1, -1}},  // through the phosphate
      {{link(1, 0, 3)}, {-1, -1, -1, -1, -1}},  // carrier and attached residue the other way
      {{link(4, 0, 1), link(3, 2, 1), link(2, 3, 1)}, {1, -1, -1, -1, 2}},
  };
  testing::ShippedUnits units;
  for (const auto& c : cases) {
    tReportUnit unit = units.Unit("[aDGal-]-2]3)bDGal-3)bDGlc-P-6)aDGlc-");
    MarkLinkedBonds(unit, spin_systems, c.links);
    std::vector<int> marks;
    for (const tReportResidue& residue : unit.Residues) marks.push_back(residue.Link);
    EXPECT_EQ(marks, c.marks) << c.links.size() << " lines, first " << int{c.links[0].From};
  }
}

// The LINK lines of the task are listed and the bonds they fixed drawn as such, with a legend; the
// JSON has the lines and each residue's. Without LINK lines nothing of them is written.
TEST(ReportPagesTest, LinkLinesInThePageAndTheJson) {
  testing::ShippedUnits units;
  tSearchReport report;
  report.Task.Links = {{4, 0, 1, "LINK: 4 (1->?) 1"}, {3, 2, 1, "LINK: 3 (1->2) 1"},
                       {2, 3, 1, "LINK: 2 (1->3) 1"}};
  tReportStructure structure;
  structure.Rank = 1;
  structure.MeanDeviation = "1.00";
  structure.Unit = units.Unit("[aDGal-]-2]3)bDGal-3)bDGlc-P-6)aDGlc-");
  structure.SpinSystems = std::vector<int>{2, 0, 3, -1, 1};
  report.Structures = {structure};
  MarkLinkedBonds(report.Structures[0].Unit, *structure.SpinSystems, report.Task.Links);

  const std::string page_text = SearchReportPage(report);
  const testing::XmlDocument page(page_text);
  ASSERT_TRUE(page.WellFormed()) << page.Error();
  std::vector<std::string> marked;
  for (xmlNode* bond : testing::WithClass(page.Root(), "linked")) {
    marked.push_back(testing::Attribute(bond, "data-child") +
                     testing::Attribute(bond, "data-link") +
                     (testing::HasClass(bond, "closing") ? " closing " : " ") +
                     testing::ChildText(bond, "text"));
  }
  EXPECT_EQ(marked, (std::vector<std::string>{"A2 α2LINK 2", "E3 closing α3LINK 3"}));
  EXPECT_EQ(testing::WithClass(page.Root(), "link-legend").size(), 1u);
  const std::string task = testing::TextOf(testing::WithClass(page.Root(), "task").at(0));
  EXPECT_NE(task.find("LINK lines1LINK: 4 (1->?) 12LINK: 3 (1->2) 13LINK: 2 (1->3) 1"),
            std::string::npos)
      << task;

  const nlohmann::ordered_json data = nlohmann::ordered_json::parse(SearchReportJson(report));
  EXPECT_EQ(data["task"]["links"],
            nlohmann::ordered_json::parse(
                R"([{"from": 4, "position": null, "to": 1, "text": "LINK: 4 (1->?) 1"},
                    {"from": 3, "position": 2, "to": 1, "text": "LINK: 3 (1->2) 1"},
                    {"from": 2, "position": 3, "to": 1, "text": "LINK: 2 (1->3) 1"}])"));
  std::vector<std::string> keys, links;
  for (const auto& [key, value] : data["task"].items()) keys.push_back(key);
  EXPECT_EQ(keys.at(4), "links");  // after the options, as the task file has them
  for (const auto& residue : data["structures"][0]["residues"]) {
    links.push_back(residue["link"].dump());
  }
  EXPECT_EQ(links, (std::vector<std::string>{"1", "null", "null", "null", "2"}));

  report.Task.Links.clear();
  report.Structures[0] = structure;
  const std::string plain = SearchReportPage(report) + SearchReportJson(report);
  for (const char* part : {"LINK", "link-", "linked", "\"link\"", "\"links\""}) {
    EXPECT_EQ(plain.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace glycomb
