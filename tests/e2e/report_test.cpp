// The REPORT option end to end on the shipped example: the pages are well-formed and
// self-contained, the JSON reads back and agrees with the result file, and without the option the
// console and the result file are what they were.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"
#include "support/xml_document.hpp"

namespace glycomb {
namespace {

using testing::RunProgram;
using testing::TempDir;
using testing::WithClass;

const char kReportLines[] =
    "The report was written into EXAMPLE.HTML\n"
    "The report data were written into EXAMPLE.JSON\n";

std::string WithoutReportLine(std::string text) {
  const std::size_t at = text.find("\nREPORT\n");
  EXPECT_NE(at, std::string::npos);
  return text.replace(at, 8, "\n");
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream stream(text);
  for (std::string line; std::getline(stream, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

// Every element and attribute that could load something: none may appear in a report page.
void ExpectSelfContained(xmlNode* root) {
  for (xmlNode* element : testing::Elements(root)) {
    const std::string name = reinterpret_cast<const char*>(element->name);
    for (const char* loader : {"script", "link", "img", "iframe", "object", "embed", "image"}) {
      EXPECT_NE(name, loader);
    }
    EXPECT_EQ(testing::Attribute(element, "src") + testing::Attribute(element, "href"), "");
  }
  for (xmlNode* style : testing::ElementsNamed(root, "style")) {
    const std::string css = testing::TextOf(style);
    EXPECT_EQ(css.find("url("), std::string::npos);
    EXPECT_EQ(css.find("@import"), std::string::npos);
  }
}

class ReportTest : public ::testing::Test {
 protected:
  ReportTest() { testing::CopyShippedData(dir_); }
  TempDir dir_;
};

// The page is well-formed and self-contained and shows the JSON's structures in rank order; the
// JSON is what the library writes for what it reads back, its structures are the result file's
// lines, and the measured shifts it pairs with the calculated ones give their deviation.
TEST_F(ReportTest, ExamplePageAndJsonAgreeWithTheResultFile) {
  const auto run = RunProgram(dir_.Path(), {"example"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  EXPECT_TRUE(run.Output.ends_with(std::string("written into EXAMPLE.RES\n") + kReportLines +
                                   testing::kPressAnyKey))
      << run.Output;
  const std::string text = dir_.Read("EXAMPLE.JSON");
  const nlohmann::ordered_json data = nlohmann::ordered_json::parse(text);
  EXPECT_EQ(data.dump(2) + "\n", text);
  const nlohmann::ordered_json& structures = data["structures"];
  const testing::XmlDocument page(dir_.Read("EXAMPLE.HTML"));
  ASSERT_TRUE(page.WellFormed()) << page.Error();
  ExpectSelfContained(page.Root());
  const std::vector<xmlNode*> sections = WithClass(page.Root(), "structure");
  ASSERT_EQ(sections.size(), 20u);
  ASSERT_EQ(structures.size(), 20u);
  const std::vector<std::string> result = Lines(dir_.Read("EXAMPLE.RES"));
  ASSERT_GE(result.size(), 5u);
  EXPECT_EQ(result[1], data["task"]["composition"]);
  EXPECT_EQ(result[3], "Here are 20 structures that match the spectrum the best:");
  const std::vector<double> spectrum = data["task"]["spectrum_ppm"];
  for (std::size_t i = 0; i < structures.size(); ++i) {
    const auto& structure = structures[i];
    const std::string notation = structure["notation"];
    SCOPED_TRACE(notation);
    EXPECT_EQ(testing::Attribute(sections[i], "id"), "rank-" + std::to_string(i + 1));
    EXPECT_EQ(WithClass(sections[i], "residue").size(), 5u);
    EXPECT_EQ(WithClass(sections[i], "bond").size(), 5u);
    for (const char* stick : {"measured", "calculated", "join"}) {
      EXPECT_EQ(WithClass(sections[i], stick).size(), 30u) << stick;
    }
    EXPECT_EQ(WithClass(sections[i], "carbons").size(), i == 0 ? 1u : 0u);
    const std::string shown = testing::TextOf(sections[i]);
    EXPECT_NE(shown.find(notation), std::string::npos);
    EXPECT_NE(shown.find(structure["iupac"].get<std::string>()), std::string::npos);

    EXPECT_EQ(structure["rank"], i + 1);
    char mean[32];
    std::snprintf(mean, sizeof mean, "%.2f", structure["mean_deviation_ppm"].get<double>());
    const std::string line = (i < 9 ? " " : "") + std::to_string(i + 1) + ": " + notation + "\t(" +
                             structure["shape"].get<std::string>() + ")\t Dev.: " + mean;
    const auto at = std::find(result.begin(), result.end(), line);
    ASSERT_NE(at, result.end()) << line;
    EXPECT_EQ(structure["topology"], "linear");
    EXPECT_LT(std::find(result.begin(), result.end(), "Linear:"), at);
    std::vector<long> measured;
    long sum = 0;
    for (const auto& residue : structure["residues"]) {
      const std::vector<double> c = residue["calculated_ppm"], m = residue["measured_ppm"];
      ASSERT_EQ(c.size(), m.size());
      for (std::size_t k = 0; k < c.size(); ++k) {
        measured.push_back(std::lround(m[k] * 10));
        sum += std::labs(std::lround(c[k] * 10) - measured.back());
      }
    }
    std::sort(measured.begin(), measured.end());
    ASSERT_EQ(measured.size(), spectrum.size());
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
      EXPECT_EQ(measured[k], std::lround(spectrum[k] * 10));
    }
    EXPECT_EQ(sum, std::lround(structure["deviation_ppm"].get<double>() * 10));
  }
}

// Without REPORT the console output and the result file stay as they were; with it the console
// gains the report lines only. The same for /CALC and its structure files.
TEST_F(ReportTest, WithoutTheOptionOutputsAreUnchanged) {
  TempDir plain;
  testing::CopyShippedData(plain);
  plain.Write("EXAMPLE.TSK", WithoutReportLine(plain.Read("EXAMPLE.TSK")));
  const auto with = RunProgram(dir_.Path(), {"EXAMPLE"});
  const auto without = RunProgram(plain.Path(), {"EXAMPLE"});
  std::string expected = testing::MaskElapsedTime(without.Output);
  const std::string written = "written into EXAMPLE.RES\n";
  ASSERT_NE(expected.find(written), std::string::npos) << expected;
  expected.insert(expected.find(written) + written.size(), kReportLines);
  EXPECT_EQ(testing::MaskElapsedTime(with.Output), expected);
  EXPECT_EQ(with.ExitCode, without.ExitCode);
  EXPECT_EQ(dir_.Read("EXAMPLE.RES"), plain.Read("EXAMPLE.RES"));
  for (const char* structure : {"CALC", "CALC33F"}) {
    const std::string file = std::string(structure) + ".STR";
    plain.Write(file, WithoutReportLine(plain.Read(file)));
    const auto calc_with = RunProgram(dir_.Path(), {"/CALC", structure});
    const auto calc_without = RunProgram(plain.Path(), {"/CALC", structure});
    std::string calc_expected = calc_without.Output;
    calc_expected.insert(calc_expected.rfind(testing::kPressAnyKey),
                         std::string("The report was written into ") + structure + ".HTML\n");
    EXPECT_EQ(calc_with.Output, calc_expected);
    // The page of the structure: its calculated sticks, no measured spectrum.
    const testing::XmlDocument page(dir_.Read(std::string(structure) + ".HTML"));
    ASSERT_TRUE(page.WellFormed()) << page.Error();
    ExpectSelfContained(page.Root());
    EXPECT_EQ(WithClass(page.Root(), "measured").size(), 0u);
    EXPECT_EQ(WithClass(page.Root(), "calculated").size(),
              6 * WithClass(page.Root(), "residue").size());
  }
  for (const char* name : {"EXAMPLE.HTML", "EXAMPLE.JSON", "CALC.HTML", "CALC33F.HTML"}) {
    EXPECT_FALSE(std::filesystem::exists(plain / name)) << name;
  }
}

// With LINK lines every kept structure meets each of them with exactly one bond, and the report
// marks those bonds: in the JSON the residue on the line's first spin system whose carrier is on
// its second (at its position, any for ?), in the drawing the same bonds.
TEST_F(ReportTest, TheBondsLinkLinesFixedAreMarked) {
  dir_.Write("SPINS33F.TSK", dir_.Read("SPINS33F.TSK") +
                                 "LINK: 4 (1->3) 5\nLINK: 2 (1->?) 3\nLINK: 6 (1->3) 1\nREPORT\n");
  const auto run = RunProgram(dir_.Path(), {"SPINS33F"});
  ASSERT_EQ(run.ExitCode, 0) << run.Output;
  const nlohmann::json data = nlohmann::json::parse(dir_.Read("SPINS33F.JSON"));
  const nlohmann::json& links = data["task"]["links"];
  ASSERT_EQ(links.size(), 3u);
  const testing::XmlDocument page(dir_.Read("SPINS33F.HTML"));
  ASSERT_TRUE(page.WellFormed()) << page.Error();
  const std::vector<xmlNode*> sections = WithClass(page.Root(), "structure");
  ASSERT_EQ(sections.size(), data["structures"].size());
  ASSERT_FALSE(sections.empty());
  for (std::size_t i = 0; i < sections.size(); ++i) {
    const nlohmann::json& residues = data["structures"][i]["residues"];
    SCOPED_TRACE(data["structures"][i]["notation"].get<std::string>());
    std::vector<std::string> expected, marked, drawn;
    std::vector<int> met(links.size());
    for (const auto& residue : residues) {
      const auto carrier = std::find_if(residues.begin(), residues.end(), [&](const auto& r) {
        return r["tag"] == residue["attached_to"];
      });
      ASSERT_NE(carrier, residues.end());
      for (std::size_t k = 0; k < links.size(); ++k) {
        if (residue["spin_system"].get<int>() + 1 == links[k]["from"] &&
            (*carrier)["spin_system"].get<int>() + 1 == links[k]["to"] &&
            (links[k]["position"].is_null() || links[k]["position"] == residue["position"])) {
          expected.push_back(residue["tag"].get<std::string>() + std::to_string(k));
          ++met[k];
        }
      }
      if (!residue["link"].is_null()) {
        marked.push_back(residue["tag"].get<std::string>() + residue["link"].dump());
      }
    }
    for (xmlNode* bond : WithClass(sections[i], "linked")) {
      const int number = std::stoi(testing::Attribute(bond, "data-link"));
      drawn.push_back(testing::Attribute(bond, "data-child") + std::to_string(number - 1));
    }
    EXPECT_EQ(met, std::vector<int>(links.size(), 1));
    std::sort(expected.begin(), expected.end());
    std::sort(marked.begin(), marked.end());
    std::sort(drawn.begin(), drawn.end());
    EXPECT_EQ(marked, expected);
    EXPECT_EQ(drawn, expected);
  }
}

}  // namespace
}  // namespace glycomb
