#include "chart/chart_layout.h"

#include <cstdint>
#include <sstream>

namespace histchart {

namespace {

constexpr double kLeft = 72.0;
constexpr double kBaseline = 176.0;
constexpr double kPlotWidth = 324.0;
constexpr double kPlotHeight = 168.0;
constexpr double kRight = kLeft + kPlotWidth;
constexpr double kTop = kBaseline - kPlotHeight;

ChartShape shape(ChartShape::Kind kind, ChartShape::Colour colour, double x1, double y1, double x2,
                 double y2) {
  return ChartShape{kind, colour, x1, y1, x2, y2, {}, 0, 0.0};
}

ChartShape line(double x1, double y1, double x2, double y2) {
  return shape(ChartShape::Kind::line, ChartShape::Colour::black, x1, y1, x2, y2);
}

ChartShape text(std::string s, int size, double x, double y, double angle) {
  return ChartShape{
      ChartShape::Kind::text, ChartShape::Colour::black, x, y, x, y, std::move(s), size, angle};
}

double length(const std::string& s) { return static_cast<double>(s.size()); }

}  // namespace

std::string edge_label(double v) {
  const bool large = v > 10.0 || v < -10.0;
  if (large && v < 2147483648.0 && v > -2147483649.0) return std::to_string(static_cast<int>(v));
  std::ostringstream out;  // a fresh stream: no precision carries over between labels
  out.precision(2);
  out << v;
  return out.str();
}

std::vector<ChartShape> layout_chart(const std::vector<Bin>& bins, const std::string& title,
                                     AxisScaleRoutine axis_scale) {
  using Kind = ChartShape::Kind;
  using Colour = ChartShape::Colour;
  std::vector<ChartShape> shapes;

  const auto n = static_cast<int>(bins.size());
  shapes.reserve(4 * bins.size() + 100);  // bars, edge labels, two ticks a bin, and the axes
  const double w = kPlotWidth / n;        // bars take their place by index, not by edge values
  const double gap = w < 10.0 ? 0.0 : 3.0;
  std::int64_t m = 0;
  for (const Bin& b : bins) {
    if (b.count > m) m = b.count;
  }
  const std::int64_t top = m + m / 4;
  double major = 0, minor = 0, axis_min = 0, axis_max = 0;
  axis_scale(0.0, static_cast<double>(top), major, minor, axis_min, axis_max);
  // Bars and count labels scale by the count range itself, not by the rounded axis range.
  const double range = static_cast<double>(top) - 0.0;

  for (int i = 0; i < n; ++i) {
    const double x1 = kLeft + i * w + gap;
    const double y1 =
        kBaseline - (static_cast<double>(bins[i].count) - axis_min) * kPlotHeight / range;
    shapes.push_back(
        shape(Kind::filled_rectangle, Colour::blue, x1, y1, x1 + w - 2 * gap, kBaseline));
  }
  shapes.push_back(shape(Kind::rectangle, Colour::black, kLeft, kTop, kRight, kBaseline));

  if (n > 1) {
    for (int i = 0; i <= n; ++i) {
      std::string label = edge_label(i < n ? bins[i].left : bins[n - 1].right);
      // Longer labels sit lower, by one pixel a character.
      const double y = kBaseline + 14.0 + length(label);
      shapes.push_back(text(std::move(label), 10, kLeft + i * w - 2.0, y, 0.0));
    }
  }
  for (int i = 0; i < n; ++i) {
    const double x = kLeft + i * w;
    shapes.push_back(line(x, kBaseline + 4.0, x, kBaseline));
    shapes.push_back(line(x, kTop, x, kTop + 8.0));
  }

  shapes.push_back(
      text(title, 12, kLeft + kPlotWidth / 2.0 - 4 * length(title), kBaseline + 34.0, 0.0));
  // -11.0 radians reads upwards, a quarter of a degree off the vertical.
  shapes.push_back(text("Count", 12, kLeft - 40.0, kBaseline - kPlotHeight / 2.0 + 3 * 5, -11.0));

  const int every = static_cast<int>(minor);
  for (int i = 0; i < major * minor; ++i) {
    const double y = kBaseline - (kPlotHeight / major / minor) * i;
    const double tick = i % every == 0 ? 8.0 : 4.0;
    shapes.push_back(line(kLeft, y, kLeft + tick, y));
    shapes.push_back(line(kRight - tick, y, kRight, y));
  }
  for (int j = 0; j < major + 1.0; ++j) {
    std::string label = std::to_string(static_cast<std::int64_t>(0.0 + range / major * j));
    const double y = kBaseline - (kPlotHeight / major) * j;
    const double x = kLeft - 7 * (length(label) + 1);
    shapes.push_back(text(std::move(label), 10, x, y + 8.0, 0.0));
    shapes.push_back(line(kLeft + 9.0, y, kRight, y));
  }
  return shapes;
}

}  // namespace histchart
