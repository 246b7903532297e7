// The one run object: the series table, the paths, the bin count and the output names, and
// the three phases that turn an input table into seven charts.
//
// The phases are defined in the modules that own them: read_data in input/, make_bins in
// binning/, draw_histograms, draw_text and axis_scale in chart/. run() calls them once each in
// that order. The one raised error is a message text (a std::string) from read_data or
// make_bins when the input table cannot be opened or read (or does not fit, or changed
// between two readings); everything else that can fail is reported on standard error as it
// happens (the chart pass's messages in chart order) and counted in `unwritten_charts`.
#pragma once

#include <string>
#include <vector>

#include "chart/text_measures.h"
#include "driver/series.h"
#include "input/input_file.h"

struct gdImageStruct;

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

  // Draws the chart of series `index` and writes it to its file; false where it could not be
  // written. Its messages go to chart_messages.
  bool write_chart(int index);
  // Draws the chart of `s` into a fresh 432 x 216 palette image; writes no file.
  void draw_chart(gdImageStruct* image, const Series& s);
  void draw_text(gdImageStruct* image, const char* text, int size, int x, int y, double angle);
  static void axis_scale(double low, double high, double& major_count, double& minor_count,
                         double& axis_min, double& axis_max);

  SeriesTable series;
  std::string input_file;
  std::string font_filename;
  int bin_count;
  std::vector<std::string> output_names;
  // What the run may hold in memory; a table whose values would not fit is read twice.
  std::size_t memory_limit = kNoMemoryLimit;
  int threads = 1;  // the cores the run may use
  // The records read_data held, in parts (one for each piece of the table read on its own);
  // counting needs no order, so the parts are never joined.
  std::vector<Rows> held;
  std::optional<UnheldRecords> unheld;      // records read_data measured but could not hold
  int unwritten_charts = 0;                 // charts that could not be written in full
  TextMeasures text_measures;               // kept by draw_text for the run
  std::vector<std::string> chart_messages;  // of the chart being drawn
};
