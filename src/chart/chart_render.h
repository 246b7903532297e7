// Draws charts into GD images. With text_pen.cpp and chart_writer.cpp, the only code that calls
// libgd.
#pragma once

#include <gd.h>

#include <functional>
#include <string>
#include <vector>

#include "binning/bin.h"
#include "chart/chart_layout.h"

namespace histchart {

// The routines a chart draws every text and divides its count axis with: the chart pass hands
// over the job's draw_text and axis_scale.
struct ChartRoutines {
  std::function<void(gdImagePtr image, const char* text, int size, int x, int y, double angle)>
      draw_text;
  AxisScaleRoutine axis_scale;
};

// Draws the chart of `bins` and `title` into a fresh 432 x 216 palette image.
void draw_chart(gdImagePtr image, const std::vector<Bin>& bins, const std::string& title,
                const ChartRoutines& routines);

}  // namespace histchart
