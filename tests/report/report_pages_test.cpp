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

}  // namespace
}  // namespace glycomb
