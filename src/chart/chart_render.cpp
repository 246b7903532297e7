#include "chart/chart_render.h"

namespace histchart {

namespace {

// Coordinates are truncated toward zero only here, as they reach GD. The layout keeps them far
// inside int; the clamp only keeps a conversion from ever being undefined.
int pixel(double v) {
  if (!(v > -1e6)) return -1000000;
  if (v > 1e6) return 1000000;
  return static_cast<int>(v);
}

}  // namespace

void draw_chart(gdImagePtr image, const std::vector<Bin>& bins, const std::string& title,
                const ChartRoutines& routines) {
  // On a fresh palette image the first colour obtained becomes the background.
  gdImageColorResolve(image, 255, 255, 255);
  const int black = gdImageColorResolve(image, 0, 0, 0);
  const int blue = gdImageColorResolve(image, 0, 0, 255);

  for (const ChartShape& shape : layout_chart(bins, title, routines.axis_scale)) {
    const int colour = shape.colour == ChartShape::Colour::blue ? blue : black;
    const int x1 = pixel(shape.x1);
    const int y1 = pixel(shape.y1);
    const int x2 = pixel(shape.x2);
    const int y2 = pixel(shape.y2);
    switch (shape.kind) {
      case ChartShape::Kind::filled_rectangle:
        gdImageFilledRectangle(image, x1, y1, x2, y2, colour);
        break;
      case ChartShape::Kind::rectangle:
        gdImageRectangle(image, x1, y1, x2, y2, colour);
        break;
      case ChartShape::Kind::line:
        gdImageLine(image, x1, y1, x2, y2, colour);
        break;
      case ChartShape::Kind::text:
        routines.draw_text(image, shape.text.c_str(), shape.size, x1, y1, shape.angle);
        break;
    }
  }
}

}  // namespace histchart
