#include "binning/bin_counting.h"

#include <algorithm>

namespace histchart {

BinCounting::BinCounting(const std::array<ValueRange, kSeriesCount>& ranges, int bin_count,
                         int workers)
    : counters_(static_cast<std::size_t>(workers)) {
  for (auto& mine : counters_) {
    for (const ValueRange& range : ranges) mine.emplace_back(range, bin_count);
  }
}

void BinCounting::count(int worker, std::span<const Row> rows) {
  std::vector<BinCounter>& mine = counters_[static_cast<std::size_t>(worker)];
  for (const Row& row : rows) {
    for (std::size_t i = 0; i < row.size(); ++i) mine[i].add(row[i]);
  }
}

MaybeFailure BinCounting::bins(std::array<std::vector<Bin>, kSeriesCount>& bins) const {
  for (std::size_t i = 0; i < bins.size(); ++i) {
    BinCounter counter = counters_[0][i];
    for (std::size_t w = 1; w < counters_.size(); ++w) counter.merge(counters_[w][i]);
    if (!counter.complete()) {
      Failure changed;
      changed.what = "cannot read input table";
      changed.reason = "it changed while it was read";
      return changed;
    }
    bins[i] = counter.bins();
  }
  return std::nullopt;
}

}  // namespace histchart
