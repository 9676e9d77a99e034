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

#include "e2e/test_reference_data.hpp"
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

void CopyShippedData(const TempDir& dir) {
  std::filesystem::copy(testing::SourcePath() + "/data", dir.Path(),
                        std::filesystem::copy_options::recursive);
}

std::string WithoutReportLine(std::string text) {
  const std::size_t at = text.find("\nREPORT\n");
  EXPECT_NE(at, std::string::npos);
  return text.replace(at, 8, "\n");
}

// The elapsed time is the only part of a search's console output that varies.
std::string MaskElapsedTime(std::string output) {
  const std::size_t at = output.find("Elapsed time is ");
  if (at != std::string::npos) output.erase(at, output.find(' ', at + 16) - at);
  return output;
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
  ReportTest() { CopyShippedData(dir_); }
  TempDir dir_;
};

TEST_F(ReportTest, ExamplePageIsWellFormedAndSelfContained) {
  const auto result = RunProgram(dir_.Path(), {"example"});
  ASSERT_EQ(result.ExitCode, 0) << result.Output;
  EXPECT_NE(result.Output.find(std::string("written into EXAMPLE.RES\n") + kReportLines +
                               testing::kPressAnyKey),
            std::string::npos)
      << result.Output;
  const testing::XmlDocument page(dir_.Read("EXAMPLE.HTML"));
  ASSERT_TRUE(page.WellFormed()) << page.Error();
  ExpectSelfContained(page.Root());
  const nlohmann::json data = nlohmann::json::parse(dir_.Read("EXAMPLE.JSON"));
  const std::vector<xmlNode*> sections = WithClass(page.Root(), "structure");
  ASSERT_EQ(sections.size(), data["structures"].size());
  ASSERT_EQ(sections.size(), 20u);
  for (std::size_t i = 0; i < sections.size(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(testing::Attribute(sections[i], "id"), "rank-" + std::to_string(i + 1));
    EXPECT_EQ(WithClass(sections[i], "residue").size(), 5u);
    EXPECT_EQ(WithClass(sections[i], "bond").size(), 5u);
    EXPECT_EQ(WithClass(sections[i], "measured").size(), 30u);
    EXPECT_EQ(WithClass(sections[i], "calculated").size(), 30u);
    EXPECT_EQ(WithClass(sections[i], "join").size(), 30u);
    EXPECT_EQ(WithClass(sections[i], "carbons").size(), i == 0 ? 1u : 0u);
    // The written forms the section shows are those of the JSON.
    const std::string text = testing::TextOf(sections[i]);
    EXPECT_NE(text.find(data["structures"][i]["notation"].get<std::string>()), std::string::npos);
    EXPECT_NE(text.find(data["structures"][i]["iupac"].get<std::string>()), std::string::npos);
  }
}

// The JSON is what the library writes for what it reads back; its structures are the result file's
// lines, and its calculated and paired measured shifts give the deviation the result file shows.
TEST_F(ReportTest, ExampleJsonReadsBackAndAgreesWithTheResultFile) {
  ASSERT_EQ(RunProgram(dir_.Path(), {"EXAMPLE"}).ExitCode, 0);
  const std::string text = dir_.Read("EXAMPLE.JSON");
  const nlohmann::ordered_json data = nlohmann::ordered_json::parse(text);
  EXPECT_EQ(data.dump(2) + "\n", text);
  const std::vector<std::string> result = Lines(dir_.Read("EXAMPLE.RES"));
  const nlohmann::ordered_json& structures = data["structures"];
  ASSERT_GE(result.size(), 5u);
  EXPECT_EQ(result[1], data["task"]["composition"]);
  EXPECT_EQ(result[3], "Here are " + std::to_string(structures.size()) +
                           " structures that match the spectrum the best:");
  const std::vector<double> spectrum = data["task"]["spectrum_ppm"];
  for (std::size_t i = 0; i < structures.size(); ++i) {
    const auto& structure = structures[i];
    SCOPED_TRACE(structure["notation"].get<std::string>());
    EXPECT_EQ(structure["rank"], i + 1);
    char mean[32];
    std::snprintf(mean, sizeof mean, "%.2f", structure["mean_deviation_ppm"].get<double>());
    const std::string line = (i < 9 ? " " : "") + std::to_string(i + 1) + ": " +
                             structure["notation"].get<std::string>() + "\t(" +
                             structure["shape"].get<std::string>() + ")\t Dev.: " + mean;
    const auto at = std::find(result.begin(), result.end(), line);
    ASSERT_NE(at, result.end()) << line;
    const std::string section = structure["topology"] == "linear" ? "Linear:"
                                : structure["topology"] == "widespread branched"
                                    ? "Widespread branched:"
                                    : "Rarely-ocurring branched:";
    EXPECT_LT(std::find(result.begin(), result.end(), section), at);
    // Sum of the differences of the sorted spectra, and of the pairs the JSON lists.
    std::vector<long> calculated, measured;
    long paired = 0;
    for (const auto& residue : structure["residues"]) {
      const std::vector<double> c = residue["calculated_ppm"], m = residue["measured_ppm"];
      ASSERT_EQ(c.size(), m.size());
      for (std::size_t k = 0; k < c.size(); ++k) {
        calculated.push_back(std::lround(c[k] * 10));
        measured.push_back(std::lround(m[k] * 10));
        paired += std::labs(calculated.back() - measured.back());
      }
    }
    std::sort(calculated.begin(), calculated.end());
    std::sort(measured.begin(), measured.end());
    ASSERT_EQ(calculated.size(), spectrum.size());
    long sum = 0;
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
      EXPECT_EQ(measured[k], std::lround(spectrum[k] * 10));
      sum += std::labs(calculated[k] - std::lround(spectrum[k] * 10));
    }
    EXPECT_EQ(sum, std::lround(structure["deviation_ppm"].get<double>() * 10));
    EXPECT_EQ(paired, sum);
  }
}

// Without REPORT the console output and the result file stay as they were; with it the console
// gains the report lines only. The same for /CALC and its structure files.
TEST_F(ReportTest, WithoutTheOptionOutputsAreUnchanged) {
  TempDir plain;
  CopyShippedData(plain);
  plain.Write("EXAMPLE.TSK", WithoutReportLine(plain.Read("EXAMPLE.TSK")));
  const auto with = RunProgram(dir_.Path(), {"EXAMPLE"});
  const auto without = RunProgram(plain.Path(), {"EXAMPLE"});
  std::string expected = MaskElapsedTime(without.Output);
  const std::string written = "written into EXAMPLE.RES\n";
  ASSERT_NE(expected.find(written), std::string::npos) << expected;
  expected.insert(expected.find(written) + written.size(), kReportLines);
  EXPECT_EQ(MaskElapsedTime(with.Output), expected);
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
  }
  for (const char* name : {"EXAMPLE.HTML", "EXAMPLE.JSON", "CALC.HTML", "CALC33F.HTML"}) {
    EXPECT_FALSE(std::filesystem::exists(plain / name)) << name;
  }
}

// The /CALC page: the structure and its calculated sticks, no measured spectrum; its shifts are
// those the console lists.
TEST_F(ReportTest, StructurePageOfCalc) {
  const auto result = RunProgram(dir_.Path(), {"/calc", "calc33f"});
  ASSERT_EQ(result.ExitCode, 0) << result.Output;
  const testing::XmlDocument page(dir_.Read("CALC33F.HTML"));
  ASSERT_TRUE(page.WellFormed()) << page.Error();
  ExpectSelfContained(page.Root());
  EXPECT_EQ(WithClass(page.Root(), "residue").size(), 6u);
  EXPECT_EQ(WithClass(page.Root(), "bond").size(), 6u);
  EXPECT_EQ(WithClass(page.Root(), "measured").size(), 0u);
  EXPECT_EQ(WithClass(page.Root(), "calculated").size(), 36u);
  std::vector<std::string> listed, shown;
  const std::size_t at = result.Output.find("Sorted spectrum:\n") + 17;
  std::istringstream line(result.Output.substr(at, result.Output.find('\n', at) - at));
  for (std::string value; line >> value;) listed.push_back(value);
  for (xmlNode* cell : WithClass(page.Root(), "calc")) shown.push_back(testing::TextOf(cell));
  const auto by_value = [](const std::string& a, const std::string& b) {
    return std::stod(a) < std::stod(b);
  };
  std::sort(shown.begin(), shown.end(), by_value);
  EXPECT_EQ(shown, listed);
}

// A report file that cannot be written is asked for like the result file: retry writes it again,
// abort gives it up and the run goes on with the other one.
TEST_F(ReportTest, ReportFilesThatCannotBeWritten) {
  const std::string not_opened =
      "\nCould not open EXAMPLE.HTML for writing: is a directory\nRetry or Abort?";
  const std::string not_written =
      "\nCould not write to EXAMPLE.JSON: insufficient disk space\nRetry or Abort?";
  const struct {
    const char* file;
    std::string keys, console;
  } cases[] = {
      {"EXAMPLE.HTML", "ra",
       not_opened + "R\n" + not_opened + "A\nThe report data were written into EXAMPLE.JSON\n"},
      {"EXAMPLE.JSON", "a", "The report was written into EXAMPLE.HTML\n" + not_written + "A\n"},
  };
  for (const auto& c : cases) {
    TempDir dir;
    CopyShippedData(dir);
    if (c.file == std::string("EXAMPLE.HTML")) {
      std::filesystem::create_directory(dir / c.file);
    } else {
      std::filesystem::create_symlink("/dev/full", dir / c.file);
    }
    const auto result = RunProgram(dir.Path(), {"EXAMPLE"}, c.keys);
    EXPECT_EQ(result.ExitCode, 0);
    EXPECT_TRUE(
        result.Output.ends_with("written into EXAMPLE.RES\n" + c.console + testing::kPressAnyKey))
        << result.Output;
    EXPECT_TRUE(std::filesystem::exists(dir / "EXAMPLE.RES"));
  }
}

// Reports of the hand-worked data set: residues NAMES.PS names that have no symbol (an N-linked
// non-sugar on an amino sugar), and a search that keeps nothing.
TEST(ReportOfTestDataTest, UnknownResiduesAndNoStructure) {
  const struct {
    const char* task;
    std::size_t kept;
    const char* first_iupac;
  } cases[] = {
      {"aDGan cDAcy\n1760 95 480 690 700 700 705 960\nLimit: 2\nREPORT\n", 2,
       "→6)-[D-Acy-(1→2)]-α-D-Ganp-(1→"},
      {"xx)aDHex\n960 620 790 710 730 720\nWIDESPREAD\nREPORT\n", 0, ""},
  };
  for (const auto& c : cases) {
    TempDir dir;
    testing::WriteTestReferenceData(dir);
    dir.Write("TASK.TSK", c.task);
    ASSERT_EQ(RunProgram(dir.Path(), {"task"}).ExitCode, 0);
    const testing::XmlDocument page(dir.Read("TASK.HTML"));
    ASSERT_TRUE(page.WellFormed()) << page.Error();
    EXPECT_EQ(WithClass(page.Root(), "structure").size(), c.kept);
    EXPECT_EQ(WithClass(page.Root(), "fallback").size(), 2 * c.kept);
    const nlohmann::json data = nlohmann::json::parse(dir.Read("TASK.JSON"));
    ASSERT_EQ(data["structures"].size(), c.kept);
    if (c.kept > 0) {
      EXPECT_EQ(data["structures"][0]["iupac"], c.first_iupac);
    }
  }
}

}  // namespace
}  // namespace glycomb
