// The job's chart members: thin shells over the chart module's own functions.
#include <string>
#include <vector>

#include "base/messages.h"
#include "chart/axis_scale.h"
#include "chart/chart_processes.h"
#include "chart/chart_render.h"
#include "chart/chart_writer.h"
#include "driver/histogram_job.h"

void HistogramJob::draw_histograms() {
  FontCache fonts;
  std::vector<ChartOutcome> outcomes;
  try {
    std::vector<std::string> names;
    for (const Series& s : series) names.push_back(output_names[s.index]);
    // One pen a process (each has its copy): it remembers what measuring each text gave.
    TextPen pen(font_filename);
    outcomes = draw_in_processes(names, cpus, [&](int i, const TempFileMade& made) {
      const Series& s = series[i];
      return write_chart(output_names[s.index], s.bins, s.title, pen, made);
    });
  } catch (...) {
    // Around the charts, not in one: none is known written (a chart is whole under its name
    // or absent, whatever is said of it), and every one is said unwritten.
    for (const Series& s : series) {
      print_line(chart_failure(output_names[s.index]).line());
      ++unwritten_charts;
    }
    return;
  }
  // The messages in chart order, as one process drawing the charts one after another gives them.
  for (const ChartOutcome& outcome : outcomes) {
    for (const std::string& line : outcome.messages) print_line(line);
    if (outcome.failure) {
      print_line(outcome.failure->line());
      ++unwritten_charts;
    }
  }
}

void HistogramJob::draw_text(gdImagePtr image, const char* text, int size, int x, int y,
                             double angle) {
  TextPen pen(font_filename);
  pen.draw(image, text, size, x, y, angle);
  for (const std::string& line : pen.take_messages()) print_line(line);
}

void HistogramJob::axis_scale(double low, double high, double& major_count, double& minor_count,
                              double& axis_min, double& axis_max) {
  const AxisScale scale = scale_axis(low, high);
  major_count = scale.major_count;
  minor_count = scale.minor_count;
  axis_min = scale.axis_min;
  axis_max = scale.axis_max;
}
