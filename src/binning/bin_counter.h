// Divides a series' range into equal-width bins (the second phase of a run), by counting.
//
// The bins follow from the smallest value, the largest value and the bin count alone: the
// edges are accumulated from the minimum by repeated addition of the width, so they are fixed
// before any value is placed. Each value is then counted in the bin whose edges enclose it, in
// one pass and without sorting or keeping the values, which is what lets a table be counted
// while it is read a second time.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <vector>

#include "base/value_range.h"
#include "binning/bin.h"

namespace histchart {

class BinCounter {
 public:
  // REQUIRES: bin_count >= 1.
  BinCounter(const ValueRange& range, int bin_count);

  // Counts one value. Values outside the range (non-finite ones among them) are not counted.
  void add(double v) {
    if (v < max_) {
      if (v >= min_) ++counts_[place(v)];
    } else if (v == max_) {
      ++at_max_;
    }
  }

  // Adds the counts of a counter made from the same range and bin count.
  void merge(const BinCounter& other);

  // Whether every finite value of the range has been counted: a table read twice that gives
  // other values the second time has changed in between.
  bool complete() const;

  // The bins in ascending order of their edges. Values equal to the maximum join the bin of the
  // largest value below it, and no bin beyond that one is made, so there can be fewer than
  // bin_count bins (or one more, where the accumulated edges fall short of the maximum). A
  // series with no values, or whose values are all equal, has no bins.
  std::vector<Bin> bins() const;

 private:
  // REQUIRES: min_ <= v < max_. The index k with edges_[k] <= v < edges_[k + 1].
  std::size_t place(double v) const {
    // A first guess from the unaccumulated width, corrected against the real edges.
    const double guess = (v - min_) * scale_;
    std::size_t k = guess < last_ ? static_cast<std::size_t>(guess) : counts_.size() - 1;
    if (v < edges_[k] || v >= edges_[k + 1]) k = search(v);
    return k;
  }
  std::size_t search(double v) const;

  double min_;
  double max_;
  double scale_;  // bins per unit of value
  double last_;   // the highest bin index, as a double
  std::uint64_t expected_;
  std::vector<double> edges_;
  std::vector<std::uint64_t> counts_;
  std::uint64_t at_max_ = 0;
};

}  // namespace histchart
