#include "chart/text_pen.h"

#include <gd.h>
#include <gtest/gtest.h>

#include <memory>

using namespace histchart;

TEST(TextPen, TextStaysBlackAndSmoothHoweverManyLabels) {
  TextPen pen(HISTCHART_FONT);
  const std::unique_ptr<gdImage, decltype(&gdImageDestroy)> image(gdImageCreate(432, 216),
                                                                  gdImageDestroy);
  gdImageColorResolve(image.get(), 255, 255, 255);
  // More labels than a palette has entries, then the title: still black, still antialiased.
  for (int i = 0; i < 300; ++i) pen.draw(image.get(), "0.25", 10, i, 190, 0.0);
  pen.draw(image.get(), "dSOC ( kg C/ha )", 12, 170, 210, 0.0);
  EXPECT_TRUE(pen.take_messages().empty());
  int black = 0, grey = 0, black_entries = 0;
  auto sum = [&](int c) {
    return gdImageRed(image.get(), c) + gdImageGreen(image.get(), c) + gdImageBlue(image.get(), c);
  };
  for (int y = 199; y <= 212; ++y) {
    for (int x = 170; x <= 300; ++x) {
      const int s = sum(gdImageGetPixel(image.get(), x, y));
      (s == 0 ? black : grey) += s != 3 * 255;
    }
  }
  EXPECT_GT(black, 20);
  EXPECT_GT(grey, 20);
  for (int c = 0; c < gdImageColorsTotal(image.get()); ++c) black_entries += sum(c) == 0;
  EXPECT_EQ(black_entries, 1);
}
