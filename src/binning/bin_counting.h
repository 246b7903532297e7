// Counting the values of the seven series into their bins, on several threads at once: each
// worker counts into counters of its own, and the counts merge, since their order is no matter.
#pragma once

#include <array>
#include <span>
#include <vector>

#include "base/failure.h"
#include "base/series_count.h"
#include "base/value_range.h"
#include "binning/bin_counter.h"

namespace histchart {

class BinCounting {
 public:
  // REQUIRES: bin_count >= 1, workers >= 1.
  BinCounting(const std::array<ValueRange, kSeriesCount>& ranges, int bin_count, int workers);

  // Counts records read by worker `worker` (0 to workers - 1); workers count at the same time.
  void count(int worker, std::span<const Row> rows);
  // The bins of each series, into `bins`. Fails where the values counted are not all of those
  // the ranges were measured from (a table read twice that changed in between); the failure
  // names no table.
  MaybeFailure bins(std::array<std::vector<Bin>, kSeriesCount>& bins) const;

 private:
  std::vector<std::vector<BinCounter>> counters_;  // by worker, then series
};

}  // namespace histchart
