#include "chart/chart_render.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "driver/histogram_job.h"

using namespace histchart;

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

// Without its texts, which are the pen's.
Image draw(int bins, int count = 4) {
  std::vector<Bin> all;
  for (int i = 0; i < bins; ++i) all.emplace_back(count, i, i + 1);
  Image image(gdImageCreate(kImageWidth, kImageHeight), gdImageDestroy);
  const ChartRoutines routines{[](gdImagePtr, const char*, int, int, int, double) {},
                               HistogramJob::axis_scale};
  draw_chart(image.get(), all, "dSOC ( kg C/ha )", routines);
  return image;
}

}  // namespace

TEST(DrawChart, PlacesBarsFrameAndGridOnTheirPixels) {
  // Ten slots of 32.4 pixels, cut toward zero: bars at 75-101, 107-133, 139-166.
  const Image ten = draw(10);
  const std::string b(27, 'b'), gap(5, 'w');
  EXPECT_EQ(row(ten.get(), 170, 70, 170), "wwkww" + b + gap + b + gap + b + "b" + "wwww");
  // The frame and the grid lie over the bars.
  EXPECT_EQ(row(ten.get(), 8, 72, 396), std::string(325, 'k'));
  EXPECT_EQ(row(ten.get(), 142, 72, 396), std::string(325, 'k'));
  EXPECT_EQ(colour_at(ten.get(), 5, 5), 'w');
  // From 33 bins on, a slot is narrower than 10 pixels and bars touch.
  EXPECT_EQ(row(draw(33).get(), 170, 72, 396), "k" + std::string(323, 'b') + "k");
  EXPECT_EQ(row(draw(32).get(), 170, 74, 86), "wbbbbbwwwwwbb");
  // No bins: frame, ticks and grid, and no bar.
  const Image none = draw(0);
  EXPECT_EQ(row(none.get(), 142, 72, 396), std::string(325, 'k'));
  EXPECT_EQ(row(none.get(), 170, 73, 395), std::string(323, 'w'));
}
