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
  // A series at a time over a few hundred rows: its counter stays in registers, the rows in
  // the first cache.
  constexpr std::size_t kRows = 256;
  for (std::size_t first = 0; first < rows.size(); first += kRows) {
    const std::span<const Row> some = rows.subspan(first, std::min(kRows, rows.size() - first));
    for (std::size_t i = 0; i < mine.size(); ++i) {
      BinCounter& counter = mine[i];
      for (const Row& row : some) counter.add(row[i]);
    }
  }
}

MaybeFailure BinCounting::bins(std::array<std::vector<Bin>, kSeriesCount>& bins) const {
  for (std::size_t i = 0; i < bins.size(); ++i) {
    BinCounter counter = counters_[0][i];
    for (std::size_t w = 1; w < counters_.size(); ++w) counter.merge(counters_[w][i]);
    if (!counter.complete()) return Failure::table_changed();
    bins[i] = counter.bins();
  }
  return std::nullopt;
}

}  // namespace histchart
