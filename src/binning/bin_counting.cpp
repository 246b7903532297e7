#include "binning/bin_counting.h"

#include <algorithm>

#include "base/worker_pool.h"

BinCounting::BinCounting(const std::array<ValueRange, kSeriesCount>& ranges, int bin_count,
                         int workers)
    : workers_(workers), counters_(static_cast<std::size_t>(workers)) {
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

MaybeFailure BinCounting::count_held(const std::vector<HeldPart>& parts) {
  // Tasks of about kSlice rows: few enough that handing them out costs nothing.
  constexpr std::size_t kSlice = std::size_t{1} << 18;
  std::vector<std::size_t> task_starts{0};  // in `parts`
  std::size_t rows = 0;
  for (std::size_t k = 0; k < parts.size(); ++k) {
    if (rows >= kSlice) {
      task_starts.push_back(k);
      rows = 0;
    }
    rows += parts[k].size();
  }
  task_starts.push_back(parts.size());
  return for_each_task(task_starts.size() - 1, workers_, [&](std::size_t t, int worker) {
    std::vector<BinCounter>& mine = counters_[static_cast<std::size_t>(worker)];
    for (std::size_t k = task_starts[t]; k < task_starts[t + 1]; ++k) {
      const HeldPart& part = parts[k];
      if (part.wide()) {
        count(worker, part.wide_rows());
        continue;
      }
      for (const HeldRow& row : part.rows()) {
        for (int i = 0; i < kSeriesCount; ++i)
          mine[static_cast<std::size_t>(i)].add(part.value(row, i));
      }
    }
  });
}

std::optional<std::array<std::vector<Bin>, kSeriesCount>> BinCounting::bins() const {
  std::array<std::vector<Bin>, kSeriesCount> bins;
  for (std::size_t i = 0; i < bins.size(); ++i) {
    BinCounter counter = counters_[0][i];
    for (std::size_t w = 1; w < counters_.size(); ++w) counter.merge(counters_[w][i]);
    if (!counter.complete()) return std::nullopt;
    bins[i] = counter.bins();
  }
  return bins;
}
