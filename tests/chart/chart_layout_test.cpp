#include "chart/chart_layout.h"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "driver/histogram_job.h"

using namespace histchart;

namespace {

// One shape a line, as the golden files under tests/data hold them.
std::vector<std::string> described(const std::vector<ChartShape>& shapes) {
  std::vector<std::string> lines;
  char line[200];
  for (const ChartShape& s : shapes) {
    std::snprintf(line, sizeof line, "%s %s %.10g %.10g %.10g %.10g %d %.10g %s",
                  std::array{"bar", "frame", "line", "text"}[static_cast<int>(s.kind)],
                  s.colour == ChartShape::Colour::blue ? "blue" : "black", s.x1, s.y1, s.x2, s.y2,
                  s.size, s.angle, s.text.c_str());
    lines.emplace_back(line, std::strlen(line) - (s.text.empty() ? 1 : 0));  // no trailing blank
  }
  return lines;
}

}  // namespace

TEST(ChartLayout, MatchesTheGoldenCharts) {
  struct Case {
    const char* file;
    std::vector<Bin> bins;
    const char* title;
  };
  const Case cases[] = {
      {"two_bins.txt", {{13, -12.5, 3.25}, {2, 3.25, 19.0}}, "dSOC ( kg C/ha )"},
      {"one_bin.txt", {{1, 0.5, 7}}, "N_leaching ( kg N/ha per year )"},
  };
  for (const Case& c : cases) {
    std::ifstream in(std::string(HISTCHART_TEST_DATA) + "/" + c.file);
    std::vector<std::string> golden;
    for (std::string line; std::getline(in, line);) golden.push_back(line);
    const auto got = described(layout_chart(c.bins, c.title, HistogramJob::axis_scale));
    for (std::size_t i = 0; i < std::max(got.size(), golden.size()); ++i) {
      ASSERT_EQ(i < got.size() ? got[i] : "(none)", i < golden.size() ? golden[i] : "(none)")
          << c.file << ", shape " << i + 1;
    }
  }
}

TEST(ChartLayout, LabelsEdgesAsIntegersBeyondTenElseWithTwoDigits) {
  const double values[] = {12.7,         -15.3,         2.345,        9.99,     10.0,
                           -10.0,        10.5,          0.25,         0,        -0.0,
                           2147483647.9, -2147483648.5, 2147483648.0, HUGE_VAL, 1e-7};
  std::istringstream texts(
      "12 -15 2.3 10 10 -10 10 0.25 0 -0 2147483647 -2147483648 2.1e+09 inf 1e-07");
  for (double v : values) {
    std::string text;
    texts >> text;
    EXPECT_EQ(edge_label(v), text) << v;
  }
  // Counts beyond 32 bits (a table larger than memory) still scale and label soundly.
  const auto shapes = layout_chart({{4000000000, 0, 1}, {1, 1, 2}}, "t", HistogramJob::axis_scale);
  EXPECT_EQ(shapes[shapes.size() - 2].text, "5000000000");
}
