// The divisions of the count axis, computed from its range alone.
//
// scale_axis(low, high) widens [low, high] to multiples of a power-of-ten step (refined by halving
// while the ends leave too wide a margin) and returns the number of major divisions (not always
// whole), minor divisions per major division (always 5) and the rounded ends. An empty or negative
// range gives the fixed result 5, 5, 0, 1.
#pragma once

namespace histchart {

struct AxisScale {
  double major_count;
  double minor_count;
  double axis_min;
  double axis_max;
};

AxisScale scale_axis(double low, double high);

}  // namespace histchart
