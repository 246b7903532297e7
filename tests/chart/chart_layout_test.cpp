#include "chart/chart_layout.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

namespace {

using Kind = ChartShape::Kind;

std::vector<Bin> bins_with_counts(const std::vector<int>& counts) {
  std::vector<Bin> bins;
  for (std::size_t i = 0; i < counts.size(); ++i) bins.emplace_back(counts[i], i * 1.0, i + 1.0);
  return bins;
}

std::vector<ChartShape> of_kind(const std::vector<ChartShape>& shapes, Kind kind) {
  std::vector<ChartShape> result;
  std::copy_if(shapes.begin(), shapes.end(), std::back_inserter(result),
               [kind](const ChartShape& s) { return s.kind == kind; });
  return result;
}

std::vector<std::string> texts(const std::vector<ChartShape>& shapes) {
  std::vector<std::string> result;
  for (const ChartShape& s : of_kind(shapes, Kind::text)) result.push_back(s.text);
  return result;
}

}  // namespace

TEST(EdgeLabel, ReadsAsIntegerBeyondTenElseTwoDigits) {
  const double inf = std::numeric_limits<double>::infinity();
  struct Case {
    double v;
    const char* text;
  };
  const Case cases[] = {{12.7, "12"},
                        {-15.3, "-15"},
                        {2.345, "2.3"},
                        {9.99, "10"},
                        {10.0, "10"},
                        {-10.0, "-10"},
                        {10.5, "10"},
                        {0.25, "0.25"},
                        {0, "0"},
                        {2147483647.9, "2147483647"},
                        {-2147483648.5, "-2147483648"},
                        {2147483648.0, "2.1e+09"},
                        {-3e12, "-3e+12"},
                        {inf, "inf"},
                        {-inf, "-inf"},
                        {1e-7, "1e-07"}};
  for (const Case& c : cases) EXPECT_EQ(edge_label(c.v), c.text) << c.v;
}

// Bar slots and gaps are checked on the pixels, in chart_render_test.cpp.
TEST(ChartLayout, ScalesBarsAndCountLabelsByTheCountRange) {
  struct Case {
    int largest;
    double top_y;
    std::vector<std::string> count_labels;
  };
  const Case cases[] = {
      {4, 176 - 4 * 168.0 / 5, {"0", "1", "2", "3", "4", "5"}},
      {100, 176 - 100 * 168.0 / 125, {"0", "31", "62", "93", "125"}},
      {1, 8, {"0", "0", "0", "0", "0", "1"}},
      {2, 8, {"0", "0", "1", "1", "2"}},
      {65, 176 - 65 * 168.0 / 81, {"0", "11", "22", "33", "45", "56", "67", "78", "90"}},
  };
  for (const Case& c : cases) {
    const auto shapes = layout_chart(bins_with_counts({0, c.largest}), "t");
    const auto bars = of_kind(shapes, Kind::filled_rectangle);
    EXPECT_DOUBLE_EQ(bars[1].y1, c.top_y) << c.largest;
    EXPECT_EQ(bars[0].y1, 176) << c.largest;
    auto labels = texts(shapes);
    // Edge labels (3), title and "Count" come before the count labels.
    labels.erase(labels.begin(), labels.begin() + 5);
    EXPECT_EQ(labels, c.count_labels) << c.largest;
  }
}

TEST(ChartLayout, PlacesTextAndTicks) {
  std::vector<Bin> bins = {Bin(1, -12.5, 3.25), Bin(2, 3.25, 19.0)};
  const auto shapes = layout_chart(bins, "dSOC ( kg C/ha )");
  const auto text = of_kind(shapes, Kind::text);
  ASSERT_GE(text.size(), 5u);
  // Edge labels: x from the slot, y lower by one pixel a character.
  EXPECT_EQ(text[0].text, "-12");
  EXPECT_DOUBLE_EQ(text[0].x1, 70);
  EXPECT_DOUBLE_EQ(text[0].y1, 193);
  EXPECT_EQ(text[1].text, "3.2");
  EXPECT_DOUBLE_EQ(text[1].x1, 72 + 162 - 2);
  EXPECT_EQ(text[2].text, "19");
  EXPECT_EQ(text[3].text, "dSOC ( kg C/ha )");
  EXPECT_DOUBLE_EQ(text[3].x1, 170);
  EXPECT_DOUBLE_EQ(text[3].y1, 210);
  EXPECT_EQ(text[3].size, 12);
  EXPECT_EQ(text[4].text, "Count");
  EXPECT_DOUBLE_EQ(text[4].x1, 32);
  EXPECT_DOUBLE_EQ(text[4].y1, 107);
  EXPECT_EQ(text[4].angle, -11.0);
  EXPECT_DOUBLE_EQ(text[5].x1, 58);  // one character
  EXPECT_DOUBLE_EQ(of_kind(layout_chart(bins, "N_leaching ( kg N/ha per year )"), Kind::text)[3].x1,
                   110);

  // Two bin-edge tick pairs (none at the right end), then count-axis ticks: largest count 2
  // gives top 2, four major intervals of five, majors 8 long.
  const auto lines = of_kind(shapes, Kind::line);
  EXPECT_EQ(lines[0].x1, 72);
  EXPECT_EQ(lines[0].y1, 180);
  EXPECT_EQ(lines[2].x1, 234);
  const int ticks = 4 * 5;
  EXPECT_EQ(lines.size(), 4u + 2 * ticks + 5);
  EXPECT_EQ(lines[4].x2, 80);  // i = 0, major
  EXPECT_EQ(lines[6].x2, 76);  // i = 1, minor
  EXPECT_EQ(lines.back().x1, 81);
  EXPECT_EQ(lines.back().y1, 8);
}

TEST(ChartLayout, AnEmptySeriesGetsFrameTicksAndGridOnly) {
  const auto shapes = layout_chart({}, "NO ( kg N/ha )");
  EXPECT_TRUE(of_kind(shapes, Kind::filled_rectangle).empty());
  EXPECT_EQ(of_kind(shapes, Kind::rectangle).size(), 1u);
  EXPECT_EQ(texts(shapes),
            (std::vector<std::string>{"NO ( kg N/ha )", "Count", "0", "0", "0", "0", "0", "0"}));
  EXPECT_EQ(of_kind(shapes, Kind::line).size(), 2u * 25 + 6);

  // One bin: no edge labels, one tick pair at x 72.
  const auto one = layout_chart(bins_with_counts({3}), "t");
  EXPECT_EQ(texts(one).front(), "t");
  EXPECT_EQ(of_kind(one, Kind::line)[0].x1, 72);
}
