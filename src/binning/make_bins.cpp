// The job's second phase: a thin shell over BinCounting, which counts every record the reading
// found, held or read again.
#include <charconv>
#include <optional>
#include <string>

#include "base/messages.h"
#include "binning/bin_counting.h"
#include "driver/histogram_job.h"

namespace histchart {

namespace {

// The line for a series whose values are all equal, whose chart has no bar: without it, its
// chart could not be told from that of an empty table.
std::optional<std::string> no_bars_line(const Series& s) {
  const ValueRange& range = s.range;
  if (range.finite == 0 || range.min != range.max) return std::nullopt;
  char value[32];
  const auto end = std::to_chars(value, value + sizeof value, range.max).ptr;
  const std::string name(SeriesTable::short_name(s.index));
  const std::string shown(value, end);
  if (range.finite == 1) {
    return "histchart: the one value of '" + name + "' is " + shown + ": its chart has no bars";
  }
  return "histchart: all " + std::to_string(range.finite) + " values of '" + name + "' are " +
         shown + ": its chart has no bars";
}

// What an allocation failure while counting says, where the phase it happened in has not named
// it (the second reading names its own): the bins, of which a run holds a set a counting
// thread, are what grows with the bin count.
void name_bins(Failure& failure, const std::string& path, int bin_count) {
  if (failure.kind != Failure::Kind::out_of_memory) return;
  failure.kind = Failure::Kind::stated;
  failure.what = "out of memory binning";
  failure.subject = path;
  failure.reason =
      counted(static_cast<std::uint64_t>(bin_count), "bin does", "bins do") + " not fit in memory";
}

}  // namespace

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
    const std::uint64_t counters = static_cast<std::uint64_t>(threads) * kSeriesCount *
                                   (static_cast<std::uint64_t>(bin_count) + 1) *
                                   (sizeof(double) + sizeof(std::uint64_t));  // edge, count
    failure = records.for_each(
        threads, [&](int worker, std::span<const Row> rows) { counting.count(worker, rows); },
        counters);
    if (failure) {
      name_bins(*failure, input_file, bin_count);
      return;
    }
    records = TableRecords();  // not needed again: the charts need the bins alone
    std::array<std::vector<Bin>, kSeriesCount> bins;
    failure = counting.bins(bins);
    if (failure) {
      failure->subject = input_file;
      return;
    }
    for (Series& s : series) {
      s.bins = std::move(bins[s.index]);
      if (const auto line = no_bars_line(s)) print_line(*line);
    }
  } catch (...) {
    failure = Failure::of_current_exception();
    name_bins(*failure, input_file, bin_count);
  }
}

}  // namespace histchart
