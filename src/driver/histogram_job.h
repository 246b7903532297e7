// The one run object: the series table, the paths, the bin count and the output names, and
// the three phases that turn an input table into seven charts.
//
// The phases are thin shells over their modules, defined where those live: read_data in
// input/, make_bins in binning/, draw_histograms in chart/ with draw_text and axis_scale, the
// routines its every text and every count axis go through. run() first names a font that
// cannot be used, then calls the phases once each in that order, and stops at the first phase
// that fails: a failure (the table cannot be opened or read, does not fit, or changed between
// two readings) is kept in `failure` for the entry point to print. Charts that cannot be
// written do not stop the run: the chart pass leaves what became of each in `chart_outcomes`,
// and run() prints them in chart order, each chart's text lines, then why it was not written.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/run_limits.h"
#include "chart/chart_outcome.h"
#include "chart/text_pen.h"
#include "driver/series.h"
#include "input/table_records.h"

struct gdImageStruct;

namespace histchart {

class HistogramJob {
 public:
  // REQUIRES: 1 <= bin_count (the command line refuses anything else).
  HistogramJob(std::string input_file, int bin_count, std::string font_filename,
               std::string output_prefix);
  HistogramJob(const HistogramJob&) = delete;
  HistogramJob& operator=(const HistogramJob&) = delete;

  void run();

  void read_data();
  void make_bins();
  void draw_histograms();

  void draw_text(gdImageStruct* image, const char* text, int size, int x, int y, double angle);
  static void axis_scale(double low, double high, double& major_count, double& minor_count,
                         double& axis_min, double& axis_max);

  SeriesTable series;
  std::string input_file;
  std::string font_filename;
  int bin_count;
  std::vector<std::string> output_names;
  // What the run may use: the memory it may hold (a table whose values would not fit is read
  // twice) and the cores.
  std::size_t memory_limit = kNoMemoryLimit;
  int cpus = 1;
  int threads = 1;  // the reading and counting threads the memory affords; set by read_data
  // Every record read_data found, for make_bins to count.
  TableRecords records;
  MaybeFailure failure;  // what stopped the run
  // draw_text's: what measuring each text gave, and the lines of the texts that could not be
  // drawn, taken chart by chart. Each chart process draws with its own copy.
  TextPen text_pen;
  std::vector<ChartOutcome> chart_outcomes;  // what became of each chart, in chart order
};

}  // namespace histchart
