#include "chart/chart_render.h"

#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "chart/chart_layout.h"
#include "driver/histogram_job.h"

namespace {

using Image = std::unique_ptr<gdImage, decltype(&gdImageDestroy)>;

// Pixels are read on the palette image, before JPEG encoding blurs them.
char colour_at(gdImagePtr image, int x, int y) {
  const int c = gdImageGetPixel(image, x, y);
  const int r = gdImageRed(image, c), g = gdImageGreen(image, c), b = gdImageBlue(image, c);
  if (r == 255 && g == 255 && b == 255) return 'w';
  if (r == 0 && g == 0 && b == 0) return 'k';
  if (r == 0 && g == 0 && b == 255) return 'b';
  return '?';
}

std::string row(gdImagePtr image, int y, int x_from, int x_to) {
  std::string s;
  for (int x = x_from; x <= x_to; ++x) s += colour_at(image, x, y);
  return s;
}

Image draw(HistogramJob& job, const std::vector<int>& counts) {
  Series s(0, "dSOC ( kg C/ha )");
  for (std::size_t i = 0; i < counts.size(); ++i) s.bins.emplace_back(counts[i], i * 1.0, i + 1.0);
  Image image(gdImageCreate(kImageWidth, kImageHeight), gdImageDestroy);
  job.draw_chart(image.get(), s);
  return image;
}

// No font: the text calls fail quietly for these tests, and the shapes are left alone.
struct NoFontJob : testing::Test {
  void SetUp() override { testing::internal::CaptureStderr(); }
  void TearDown() override { testing::internal::GetCapturedStderr(); }
  HistogramJob job{"in.txt", 10, "/no/such/font.ttf", "out_"};
};

}  // namespace

TEST_F(NoFontJob, BarsSitInTheirSlots) {
  const Image ten = draw(job, std::vector<int>(10, 4));
  EXPECT_EQ(row(ten.get(), 170, 74, 76), "wbb");
  EXPECT_EQ(row(ten.get(), 170, 100, 108), "bbwwwwwbb");
  EXPECT_EQ(row(ten.get(), 170, 132, 140), "bbwwwwwbb");
  EXPECT_EQ(row(ten.get(), 170, 165, 167), "bbw");

  const Image wide = draw(job, std::vector<int>(33, 4));
  EXPECT_EQ(row(wide.get(), 170, 72, 396), "k" + std::string(323, 'b') + "k");
  const Image gaps = draw(job, std::vector<int>(32, 4));
  EXPECT_EQ(row(gaps.get(), 170, 74, 86), "wbbbbbwwwwwbb");  // 75-79, then 85.1-...
}

TEST_F(NoFontJob, TallestBarReachesItsHeight) {
  struct Case {
    int largest;
    int top_y;
  };
  for (const Case& c : {Case{4, 41}, Case{100, 41}, Case{1, 8}}) {
    std::vector<int> counts(10, c.largest > 1 ? 1 : 0);
    counts[0] = c.largest;
    const Image image = draw(job, counts);
    const int x = 95;  // inside the first bar, clear of ticks and labels
    EXPECT_EQ(colour_at(image.get(), x, c.top_y + 1), 'b') << c.largest;
    EXPECT_EQ(colour_at(image.get(), x, c.top_y - 1), 'w') << c.largest;
    EXPECT_NE(colour_at(image.get(), x, c.top_y), 'w') << c.largest;
  }
}

TEST_F(NoFontJob, FrameAndGridLinesLieOverTheBars) {
  const Image image = draw(job, std::vector<int>(10, 4));
  // Largest count 4: count levels every 33.6 pixels; the grid runs from x 81 to the frame.
  EXPECT_EQ(row(image.get(), 142, 81, 101), std::string(21, 'k'));
  EXPECT_EQ(colour_at(image.get(), 80, 142), 'k');  // major tick, 8 long
  EXPECT_EQ(colour_at(image.get(), 72, 100), 'k');
  EXPECT_EQ(colour_at(image.get(), 396, 100), 'k');
  EXPECT_EQ(row(image.get(), 176, 72, 396), std::string(325, 'k'));
  EXPECT_EQ(row(image.get(), 8, 72, 396), std::string(325, 'k'));
}

TEST_F(NoFontJob, AnAllEqualSeriesDrawsFrameTicksAndGridOnly) {
  const Image image = draw(job, {});
  int blue = 0;
  for (int y = 0; y < kImageHeight; ++y) {
    for (char c : row(image.get(), y, 0, kImageWidth - 1)) blue += c == 'b';
  }
  EXPECT_EQ(blue, 0);
  EXPECT_EQ(row(image.get(), 142, 81, 396), std::string(316, 'k'));  // level 1 of 5
  EXPECT_EQ(row(image.get(), 142, 73, 80), "kkkkkkkk");              // major tick
  EXPECT_EQ(colour_at(image.get(), 75, 170), 'w');
}

TEST(DrawText, AMissingFontGivesTwoLinesPerTextAndTheChartGoesOn) {
  HistogramJob job("in.txt", 10, "/no/such/font.ttf", "out_");
  testing::internal::CaptureStderr();
  const Image image = draw(job, {1, 2, 3});
  const std::string err = testing::internal::GetCapturedStderr();
  std::vector<Bin> bins = {Bin(1, 0, 1), Bin(2, 1, 2), Bin(3, 2, 3)};
  std::size_t texts = 0;
  for (const ChartShape& s : layout_chart(bins, "dSOC ( kg C/ha )"))
    texts += s.kind == ChartShape::Kind::text;
  std::istringstream lines(err);
  std::size_t count = 0;
  for (std::string line; std::getline(lines, line); ++count) {
    EXPECT_EQ(line.rfind("draw_text() error: ", 0), 0u) << line;
  }
  EXPECT_EQ(count, 2 * texts);
  EXPECT_EQ(colour_at(image.get(), 95, 170), 'b');
}

TEST(DrawText, TextStaysBlackHoweverManyLabels) {
  HistogramJob job("in.txt", 10, HISTCHART_FONT, "out_");
  testing::internal::CaptureStderr();
  const Image image = draw(job, std::vector<int>(300, 2));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  // The title is drawn after 301 edge labels; its strokes must still be black.
  int black = 0;
  for (int y = 199; y <= 210; ++y) {
    for (char c : row(image.get(), y, 170, 300)) black += c == 'k';
  }
  EXPECT_GT(black, 20);
  EXPECT_LE(gdImageColorsTotal(image.get()), 256);
}
