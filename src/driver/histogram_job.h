// The one run object: the series table, the paths, the bin count and the output names, and
// the three phases that turn an input table into seven charts.
//
// The phases are defined in the modules that own them: read_data in input/, make_bins in
// binning/, draw_histograms, draw_text and axis_scale in chart/. run() calls them once each in
// that order. The one raised error is a message text (a std::string) from read_data when the
// input table cannot be opened or read; everything else that can fail is reported on standard
// error as it happens and counted in `unwritten_charts`.
#pragma once

#include <string>
#include <vector>

#include "driver/series.h"

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
  int unwritten_charts = 0;  // charts that could not be written in full
};
