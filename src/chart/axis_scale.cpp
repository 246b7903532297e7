#include "chart/axis_scale.h"

#include <cmath>

namespace histchart {

AxisScale scale_axis(double low, double high) {
  double step = 1;
  double span = 1;
  double axis_min = 0;
  double axis_max = 1;
  auto snap = [&] {
    axis_min = std::floor(low / step) * step;
    axis_max = std::ceil(high / step) * step;
  };
  if (high - low > 0) {
    step = std::pow(10.0, std::floor(std::log10(high - low)));
    snap();
    // The first rounded range is the yardstick for the margins: later halvings refine the
    // step and the ends, never the span.
    span = axis_max - axis_min;
    if (9 * step <= span) {
      step *= 10;
      snap();
    }
    while (step > 1 && (axis_min + 0.2 * span < low || axis_max - 0.2 * span > high)) {
      step /= 2;
      snap();
    }
  }
  double major_count = span / step;
  while (major_count >= 10) major_count /= 10;
  if (major_count < 2) {
    major_count = 5;
  } else if (major_count == 2 || major_count == 8) {
    major_count = 4;
  } else if (major_count == 3) {
    major_count = 6;
  }
  return {major_count, 5, axis_min, axis_max};
}

}  // namespace histchart
