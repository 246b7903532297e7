// One histogram bin: how many values fell into it and where its edges lie.
//
// A bin holds the values v with left <= v < right, except that the values equal to the
// series' maximum join the bin of the largest value below the maximum, whatever its edges.
#pragma once

#include <cstdint>

namespace histchart {

struct Bin {
  Bin(std::int64_t count, double left, double right) : count(count), left(left), right(right) {}

  // 64 bits: a table too large for memory can put more than 2^31 values into one bin.
  std::int64_t count;
  double left;
  double right;
};

}  // namespace histchart
