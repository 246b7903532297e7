// The range of a series' values: what the reader measures as it reads, and what the bins are
// made over.
#pragma once

#include <cmath>
#include <cstdint>
#include <limits>

namespace histchart {

// The extent of a series: its smallest and largest finite value, and how many values were and
// were not finite (NaN and +-inf have no place on a finite axis and are left out).
struct ValueRange {
  void add(double v) {
    if (!std::isfinite(v)) {
      ++non_finite;
      return;
    }
    ++finite;
    widen(v, v);
  }
  // Two ranges of values read apart give the range of all of them.
  void merge(const ValueRange& other) {
    if (other.finite > 0) widen(other.min, other.max);
    finite += other.finite;
    non_finite += other.non_finite;
  }

  double min = std::numeric_limits<double>::infinity();
  double max = -std::numeric_limits<double>::infinity();
  std::uint64_t finite = 0;
  std::uint64_t non_finite = 0;

 private:
  void widen(double low, double high) {
    // Between equal zeros -0.0 is the smaller: the lowest edge label then reads "-0" exactly
    // when the table holds a -0.0 and nothing below it.
    if (low < min || (low == min && std::signbit(low))) min = low;
    if (high > max || (high == max && !std::signbit(high))) max = high;
  }
};

}  // namespace histchart
