// Everything a histogram chart draws, computed without touching GD.
//
// layout_chart returns the shapes of one 432 x 216 chart in drawing order (later shapes cover
// earlier ones): bars, frame, bin-edge labels, bin-edge ticks, title, "Count", count-axis
// ticks, then count labels with their grid lines. Coordinates stay in double precision here;
// the renderer truncates them toward zero to whole pixels as it hands them to GD.
#pragma once

#include <string>
#include <vector>

#include "binning/bin.h"

namespace histchart {

inline constexpr int kImageWidth = 432;
inline constexpr int kImageHeight = 216;

struct ChartShape {
  enum class Kind { filled_rectangle, rectangle, line, text };
  enum class Colour { black, blue };

  Kind kind;
  Colour colour;
  double x1, y1, x2, y2;  // a text uses (x1, y1), the left end of its baseline
  std::string text;
  int size = 0;
  double angle = 0.0;
};

// Divides the count axis [low, high]: the number of major divisions, of minor divisions in each,
// and the rounded ends (see axis_scale.h). The chart pass hands over the job's axis_scale.
using AxisScaleRoutine = void (*)(double low, double high, double& major_count, double& minor_count,
                                  double& axis_min, double& axis_max);

std::vector<ChartShape> layout_chart(const std::vector<Bin>& bins, const std::string& title,
                                     AxisScaleRoutine axis_scale);

// A bin edge as its label reads: beyond +-10 the value cut toward zero to an integer, otherwise
// (and where no int can hold it) two significant digits in general notation.
std::string edge_label(double v);

}  // namespace histchart
