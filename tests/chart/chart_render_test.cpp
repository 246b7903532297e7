#include "chart/chart_render.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

#include <unistd.h>

#include "chart/chart_file.h"

#include "chart/chart_layout.h"

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

Image draw(TextPen& pen, int bins, int count = 4) {
  std::vector<Bin> all;
  for (int i = 0; i < bins; ++i) all.emplace_back(count, i, i + 1);
  Image image(gdImageCreate(kImageWidth, kImageHeight), gdImageDestroy);
  draw_chart(image.get(), all, "dSOC ( kg C/ha )", pen);
  return image;
}

}  // namespace

TEST(DrawChart, PlacesBarsFrameAndGridOnTheirPixels) {
  TextPen pen("/no/such/font.ttf");
  // Ten slots of 32.4 pixels, cut toward zero: bars at 75-101, 107-133, 139-166.
  const Image ten = draw(pen, 10);
  const std::string b(27, 'b'), gap(5, 'w');
  EXPECT_EQ(row(ten.get(), 170, 70, 170), "wwkww" + b + gap + b + gap + b + "b" + "wwww");
  // The frame and the grid lie over the bars.
  EXPECT_EQ(row(ten.get(), 8, 72, 396), std::string(325, 'k'));
  EXPECT_EQ(row(ten.get(), 142, 72, 396), std::string(325, 'k'));
  EXPECT_EQ(colour_at(ten.get(), 5, 5), 'w');
  // From 33 bins on, a slot is narrower than 10 pixels and bars touch.
  EXPECT_EQ(row(draw(pen, 33).get(), 170, 72, 396), "k" + std::string(323, 'b') + "k");
  EXPECT_EQ(row(draw(pen, 32).get(), 170, 74, 86), "wbbbbbwwwwwbb");
  // No bins: frame, ticks and grid, and no bar.
  const Image none = draw(pen, 0);
  EXPECT_EQ(row(none.get(), 142, 72, 396), std::string(325, 'k'));
  EXPECT_EQ(row(none.get(), 170, 73, 395), std::string(323, 'w'));
  // Each text that cannot be drawn: one line for the measuring call, one for the drawing.
  const std::vector<std::string> lines = pen.take_messages();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[0], "draw_text() error: Could not find/open font");
  EXPECT_EQ(lines.size() % 2, 0u);
}

TEST(DrawText, TextStaysBlackAndSmoothHoweverManyLabels) {
  TextPen pen(HISTCHART_FONT);
  const Image image = draw(pen, 300, 2);
  EXPECT_TRUE(pen.take_messages().empty());
  // The title is drawn after 301 edge labels: still black, and still antialiased.
  int black = 0, grey = 0;
  for (int y = 199; y <= 212; ++y) {
    for (char c : row(image.get(), y, 170, 300)) (c == 'k' ? black : grey) += c != 'w';
  }
  EXPECT_GT(black, 20);
  EXPECT_GT(grey, 20);
  int black_entries = 0;
  for (int c = 0; c < gdImageColorsTotal(image.get()); ++c) {
    black_entries +=
        gdImageRed(image.get(), c) + gdImageGreen(image.get(), c) + gdImageBlue(image.get(), c) ==
        0;
  }
  EXPECT_EQ(black_entries, 1);
}

TEST(ChartFile, AFailedCloseLeavesNoChart) {
  // A network file system may report a failed write only when the file is closed: after a
  // good flush, the close fails, and no chart stands under its name, nor a temporary file.
  const auto dir =
      std::filesystem::temp_directory_path() / ("histchart-close-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  ChartFile file((dir / "NO.jpg").string());
  ASSERT_FALSE(file.open());
  std::fputs("a chart", file.stream());
  ASSERT_EQ(std::fflush(file.stream()), 0);
  ::close(::fileno(file.stream()));  // the stream's own close then fails
  const MaybeFailure failure = file.commit();
  ASSERT_TRUE(failure);
  EXPECT_EQ(failure->line(), "histchart: cannot write chart '" + (dir / "NO.jpg").string() +
                                 "': " + std::strerror(EBADF));
  EXPECT_EQ(failure->status, kExitUnwritten);
  EXPECT_TRUE(std::filesystem::is_empty(dir));
  std::filesystem::remove_all(dir);
}
