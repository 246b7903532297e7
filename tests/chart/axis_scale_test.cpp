#include "chart/axis_scale.h"

#include <gtest/gtest.h>

using namespace histchart;

TEST(AxisScale, DividesTheRange) {
  struct Case {
    double low, high, major, minor, axis_min, axis_max;
  };
  // 4..14 and 0..11 have margins of exactly a fifth of the span, which do not halve the step;
  // 0..1.5 is not refined below a step of 1.
  const Case cases[] = {
      {0, 0, 5, 5, 0, 1},     {5, 5, 5, 5, 0, 1},         {0, 1, 5, 5, 0, 1},
      {0, 2, 4, 5, 0, 2},     {0, 3, 6, 5, 0, 3},         {0, 7, 7, 5, 0, 7},
      {0, 9, 5, 5, 0, 10},    {0, 13, 4, 5, 0, 15},       {0, 81, 7.2, 5, 0, 87.5},
      {0, 101, 4, 5, 0, 125}, {0, 250, 6, 5, 0, 300},     {-7, 7, 4, 5, -10, 10},
      {3, 1, 5, 5, 0, 1},     {150, 260, 4, 5, 150, 300}, {4, 14, 4, 5, 0, 15},
      {0, 11, 4, 5, 0, 15},   {0, 1.5, 4, 5, 0, 2}};
  for (const Case& c : cases) {
    const auto [major, minor, axis_min, axis_max] = scale_axis(c.low, c.high);
    EXPECT_DOUBLE_EQ(major, c.major) << c.low << ".." << c.high;
    EXPECT_EQ(minor, c.minor) << c.low << ".." << c.high;
    EXPECT_EQ(axis_min, c.axis_min) << c.low << ".." << c.high;
    EXPECT_EQ(axis_max, c.axis_max) << c.low << ".." << c.high;
  }
}
