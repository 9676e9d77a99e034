#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <string>

#include "report/html_report.hpp"
#include "report/json_report.hpp"
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

}  // namespace
}  // namespace glycomb
