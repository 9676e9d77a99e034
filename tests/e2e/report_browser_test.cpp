// The example report as a browser shows it: headless Chromium loads the page without a console
// message and renders the symbols. Skipped only when
// Chromium is not installed and GLYCOMB_REQUIRE_CHROMIUM is unset (CI sets it).
#include <gtest/gtest.h>
#include <png.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "support/program_runner.hpp"
#include "support/temp_dir.hpp"

namespace glycomb {
namespace {

using testing::TempDir;

std::string FindChromium() {
  const char* path = std::getenv("PATH");
  std::istringstream directories(path == nullptr ? "" : path);
  for (std::string directory; std::getline(directories, directory, ':');) {
    const std::string candidate = directory + "/chromium";
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
  }
  return "";
}

// Runs headless Chromium on `page` with `action` (--dump-dom, --screenshot=...); returns what it
// wrote to standard output, and its log in `log`.
std::string RunChromium(const std::string& chromium, const TempDir& dir, const std::string& page,
                        const std::string& action, std::string& log) {
  static int runs = 0;
  const std::string profile = dir / ("profile" + std::to_string(++runs));
  std::filesystem::create_directory(profile);
  const std::string command =
      "timeout 120 '" + chromium +
      "' --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
      " --disable-background-networking --disable-component-update --disable-sync"
      " --enable-logging=stderr --v=0 --user-data-dir='" +
      profile + "' " + action + " 'file://" + dir / page + "' >'" + (dir / "out.txt") + "' 2>'" +
      (dir / "log.txt") + "'";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  log = dir.Read("log.txt");
  return dir.Read("out.txt");
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
    ++count;
  }
  return count;
}

struct tImage {
  unsigned Width = 0, Height = 0;
  std::vector<unsigned char> Rgb;
};

tImage ReadPng(const std::string& file) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  tImage result;
  if (png_image_begin_read_from_file(&image, file.c_str()) == 0) return result;
  image.format = PNG_FORMAT_RGB;
  result.Rgb.resize(PNG_IMAGE_SIZE(image));
  if (png_image_finish_read(&image, nullptr, result.Rgb.data(), 0, nullptr) == 0) return {};
  result.Width = image.width;
  result.Height = image.height;
  return result;
}

TEST(ReportBrowserTest, ExampleReportRendersInChromium) {
  const std::string chromium = FindChromium();
  if (chromium.empty()) {
    if (std::getenv("GLYCOMB_REQUIRE_CHROMIUM") != nullptr) FAIL() << "chromium not found";
    GTEST_SKIP() << "chromium is not installed";
  }
  TempDir dir;
  testing::CopyShippedData(dir);
  ASSERT_EQ(testing::RunProgram(dir.Path(), {"EXAMPLE"}).ExitCode, 0);

  // Loaded as HTML: no console message (errors of the page are logged as CONSOLE lines), and the
  // document holds every structure with its symbols.
  std::string log;
  const std::string dom = RunChromium(chromium, dir, "EXAMPLE.HTML", "--dump-dom", log);
  EXPECT_EQ(log.find(":CONSOLE"), std::string::npos) << log;
  EXPECT_EQ(Count(dom, "class=\"structure\""), 20u);
  EXPECT_EQ(Count(dom, "class=\"residue "), 100u);

  // Rendered: a page that is not blank, with the yellow galactose and blue glucose symbols on it.
  RunChromium(chromium, dir, "EXAMPLE.HTML",
              "--window-size=1000,1400 --screenshot='" + (dir / "shot.png") + "'", log);
  const tImage shot = ReadPng(dir / "shot.png");
  ASSERT_EQ(shot.Width, 1000u);
  ASSERT_EQ(shot.Height, 1400u);
  std::size_t ink = 0, yellow = 0, blue = 0;
  for (std::size_t i = 0; i + 2 < shot.Rgb.size(); i += 3) {
    const int r = shot.Rgb[i], g = shot.Rgb[i + 1], b = shot.Rgb[i + 2];
    if (r < 200 || g < 200 || b < 200) ++ink;
    if (std::abs(r - 0xFF) < 12 && std::abs(g - 0xD4) < 12 && std::abs(b - 0x00) < 12) ++yellow;
    if (std::abs(r - 0x00) < 12 && std::abs(g - 0x72) < 12 && std::abs(b - 0xBC) < 12) ++blue;
  }
  EXPECT_GT(ink, shot.Rgb.size() / 3 / 50);
  EXPECT_GT(yellow, 1000u);
  EXPECT_GT(blue, 200u);
}

}  // namespace
}  // namespace glycomb
