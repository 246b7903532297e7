#include "binning/bin_counter.h"

#include <algorithm>

namespace histchart {

BinCounter::BinCounter(const ValueRange& range, int bin_count) : expected_(range.finite) {
  if (range.finite == 0) {
    // No value compares with NaN, so nothing is counted.
    min_ = max_ = std::numeric_limits<double>::quiet_NaN();
    scale_ = last_ = 0;
    return;
  }
  min_ = range.min;
  max_ = range.max;
  const auto n = static_cast<double>(bin_count);
  // A range wider than the largest double (-1e308 to 1e308) overflows as a difference; the
  // parts, each divided first, do not.
  const double width = std::isfinite(max_ - min_) ? (max_ - min_) / n : max_ / n - min_ / n;
  // The edges are accumulated, not recomputed as min + i * width: the rounding of each sum
  // decides where a value lands, and the bins must come out the same on every run and every
  // machine. Only edges up to the first at or beyond the maximum can ever be reached.
  edges_.push_back(min_);
  for (double left = min_; left < max_;) {
    double right = left + width;
    // Once the width is lost in rounding against the size of the edge (1e16 + 0.2 == 1e16),
    // the next bin would have no width and no value could ever pass it. The only sound way on
    // is the rest of the range: that bin reaches to the maximum. Each edge that moves advances
    // by at least half the width, so there are at most about 2 x bin_count + 1 edges.
    // Where it would pass the largest double, the bin reaches to the maximum too.
    if (right == left || !std::isfinite(right)) right = max_;
    edges_.push_back(right);
    left = right;
  }
  counts_.assign(std::max<std::size_t>(edges_.size(), 2) - 1, 0);
  scale_ = n / (max_ - min_);  // 0 across an infinite difference: each value is searched for
  last_ = static_cast<double>(counts_.size() - 1);
}

std::size_t BinCounter::search(double v) const {
  return static_cast<std::size_t>(std::upper_bound(edges_.begin(), edges_.end(), v) -
                                  edges_.begin()) -
         1;
}

void BinCounter::merge(const BinCounter& other) {
  for (std::size_t k = 0; k < counts_.size(); ++k) counts_[k] += other.counts_[k];
  at_max_ += other.at_max_;
}

bool BinCounter::complete() const {
  std::uint64_t counted = at_max_;
  for (std::uint64_t c : counts_) counted += c;
  return counted == expected_;
}

std::vector<Bin> BinCounter::bins() const {
  std::vector<Bin> bins;
  std::size_t n = counts_.size();
  while (n > 0 && counts_[n - 1] == 0) --n;
  if (edges_.size() < 2 || n == 0) return bins;
  bins.reserve(n);
  for (std::size_t k = 0; k < n; ++k) {
    const std::uint64_t count = counts_[k] + (k + 1 == n ? at_max_ : 0);
    bins.emplace_back(static_cast<std::int64_t>(count), edges_[k], edges_[k + 1]);
  }
  return bins;
}

}  // namespace histchart
