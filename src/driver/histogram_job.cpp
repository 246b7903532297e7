#include "driver/histogram_job.h"

#include <utility>

#include "base/messages.h"
#include "chart/chart_render.h"

namespace {
constexpr const char* kImageExtension = ".jpg";
}

HistogramJob::HistogramJob(std::string input_file, int bin_count, std::string font_filename,
                           std::string output_prefix)
    : input_file(std::move(input_file)),
      font_filename(std::move(font_filename)),
      bin_count(bin_count) {
  output_names.reserve(SeriesTable::kSize);
  for (int i = 0; i < SeriesTable::kSize; ++i) {
    output_names.push_back(output_prefix + std::string(SeriesTable::short_name(i)) +
                           kImageExtension);
  }
}

void HistogramJob::run() {
  // A font that cannot be used is named once, first: every text of every chart would report
  // it, without saying which argument was wrong.
  if (const auto reason = font_failure(font_filename)) {
    print_line(diagnostic("cannot use font", font_filename,
                          *reason + "; the charts are drawn without text"));
  }
  read_data();
  if (failure) return;
  make_bins();
  if (failure) return;
  draw_histograms();
}
