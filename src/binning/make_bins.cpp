// The job's second phase: a thin shell over BinCounting, and over the second reading where
// the table was too large to hold.
#include <string>

#include "base/messages.h"
#include "binning/bin_counting.h"
#include "driver/histogram_job.h"

void HistogramJob::make_bins() {
  std::array<ValueRange, kSeriesCount> ranges;
  for (const Series& s : series) {
    ranges[s.index] = s.range;
    if (s.range.non_finite > 0) {
      print_line(diagnostic(
          "left out values of", SeriesTable::short_name(s.index),
          counted(s.range.non_finite, "is not a finite number", "are not finite numbers")));
    }
  }
  try {
    BinCounting counting(ranges, bin_count, threads);
    failure = counting.count_held(held.parts);
    if (!failure && unheld) {
      failure =
          read_again(*unheld, input_file, threads,
                     [&](int worker, std::span<const Row> rows) { counting.count(worker, rows); });
    }
    if (failure) return;
    held = HeldRecords();  // not needed again: the charts need the bins alone
    const auto bins = counting.bins();
    if (!bins) {
      Failure changed;
      changed.what = "cannot read input table";
      changed.subject = input_file;
      changed.reason = "it changed while it was read";
      failure = std::move(changed);
      return;
    }
    for (Series& s : series) s.bins = (*bins)[s.index];
  } catch (...) {
    failure = Failure::of_current_exception();
    if (failure->kind == Failure::Kind::out_of_memory) {
      failure->what = "out of memory binning";
      failure->subject = input_file;
      failure->reason = "the bins do not fit in memory";
    }
  }
}
