#include "driver/histogram_job.h"

#include <utility>

#include "base/messages.h"

namespace histchart {

namespace {
constexpr const char* kImageExtension = ".jpg";
}

HistogramJob::HistogramJob(std::string input_file, int bin_count, std::string font_filename,
                           std::string output_prefix)
    : input_file(std::move(input_file)),
      font_filename(std::move(font_filename)),
      bin_count(bin_count),
      text_pen(this->font_filename) {
  output_names.reserve(SeriesTable::kSize);
  for (int i = 0; i < SeriesTable::kSize; ++i) {
    output_names.push_back(output_prefix + std::string(SeriesTable::short_name(i)) +
                           kImageExtension);
  }
}

void HistogramJob::run() {
  // A font that cannot be used is named once, first: every text of every chart would report
  // it, without saying which argument was wrong.
  const MaybeFailure font = font_failure(font_filename);
  if (font) print_line(font->line());
  read_data();
  if (failure) return;
  make_bins();
  if (failure) return;
  {
    // Loaded again here, the font stays in the cache that every chart process inherits: none
    // opens it again, which a tight `ulimit -n` may not allow. Where it cannot be loaded now,
    // that too is said once.
    const FontCache fonts;
    if (const MaybeFailure now = font_failure(font_filename); now && !font) {
      print_line(now->line());
    }
    draw_histograms();
  }
  // As one process drawing the charts one after another would tell it.
  for (const ChartOutcome& chart : chart_outcomes) {
    for (const std::string& line : chart.messages) print_line(line);
    if (chart.failure) print_line(chart.failure->line());
  }
}

}  // namespace histchart
