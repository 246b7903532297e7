#include "driver/histogram_job.h"

#include <utility>

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
  read_data();
  if (failure) return;
  make_bins();
  if (failure) return;
  draw_histograms();
}
