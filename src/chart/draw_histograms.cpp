// The job's chart members: the chart pass, and the two routines through which it draws every
// text and divides every count axis.
#include <string>
#include <vector>

#include "chart/axis_scale.h"
#include "chart/chart_processes.h"
#include "chart/chart_writer.h"
#include "driver/histogram_job.h"

namespace histchart {

void HistogramJob::draw_histograms() {
  chart_outcomes.clear();
  FontCache fonts;
  try {
    std::vector<std::string> names;
    for (const Series& s : series) names.push_back(output_names[s.index]);
    const ChartRoutines routines{
        [this](gdImagePtr image, const char* text, int size, int x, int y, double angle) {
          draw_text(image, text, size, x, y, angle);
        },
        axis_scale};
    // A helper process draws with its own copy of the job: its text_pen remembers what
    // measuring gave across the charts that process draws.
    chart_outcomes = draw_in_processes(names, cpus, [&](int i, const TempFileMade& made) {
      ChartOutcome outcome;
      outcome.failure = write_chart(names[i], series[i].bins, series[i].title, routines, made);
      outcome.messages = text_pen.take_messages();
      return outcome;
    });
  } catch (...) {
    // Around the charts, not in one: none is known written (a chart is whole under its name
    // or absent, whatever is said of it), and every one is said unwritten.
    chart_outcomes.clear();
    for (const Series& s : series) {
      chart_outcomes.push_back({{}, chart_failure(output_names[s.index])});
    }
  }
}

void HistogramJob::draw_text(gdImagePtr image, const char* text, int size, int x, int y,
                             double angle) {
  text_pen.draw(image, text, size, x, y, angle);
}

void HistogramJob::axis_scale(double low, double high, double& major_count, double& minor_count,
                              double& axis_min, double& axis_max) {
  const AxisScale scale = scale_axis(low, high);
  major_count = scale.major_count;
  minor_count = scale.minor_count;
  axis_min = scale.axis_min;
  axis_max = scale.axis_max;
}

}  // namespace histchart
