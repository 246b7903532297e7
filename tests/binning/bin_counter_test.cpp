#include "binning/bin_counter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "reference.h"

using namespace histchart;

namespace {

std::vector<Bin> count(const std::vector<double>& values, int bin_count) {
  ValueRange range;
  for (double v : values) range.add(v);
  BinCounter counter(range, bin_count);
  for (double v : values) counter.add(v);
  EXPECT_TRUE(counter.complete());
  return counter.bins();
}

}  // namespace

TEST(BinCounter, CountsWhatTheSortedWalkMakes) {
  const double inf = std::numeric_limits<double>::infinity();
  const double big = std::numeric_limits<double>::max();
  const double tiny = std::numeric_limits<double>::denorm_min();
  const double p53 = std::ldexp(1.0, 53);
  std::vector<std::vector<double>> tables = {
      {3, 0, 4, 1, 2},
      {0, 9, 10},
      {2, -1, 5},
      {5, 5, 5},
      {7},
      {},
      {0, 5e-324, 5e-324},
      {0, 0.9999999999999999, 1},  // an eleventh bin beyond the tenth accumulated edge
      // Width 0.1: the third right edge is 0.30000000000000004, so 0.3 joins 0.2; the last
      // edge falls short of 1, which joins 0.9 all the same.
      {0, 0.1, 0.2, 0.3, 0.4, 0.5, 0.6, 0.7, 0.8, 0.9, 1},
      {1e16, 1e16 + 2},  // an edge that does not move: one bin reaching to the maximum
      // Ranges wider than the largest double: the width found without overflow, the edges
      // accumulated from it.
      {-big, big, 0},
      {-1e308, 0, 5e307, 1e308},
      {tiny, 2 * tiny, 7 * tiny, 0, -tiny, -0.0},
      {0.0, -0.0, 1},
      {1, 1, 1, 2, 2, 2, 2, 1.5},
      {0.1, 0.7, 0.3, 0.30000000000000004},
      {3, std::nan(""), -inf, 1, inf, 2}};
  // Edges that move by 1 below 2^53 and stop where doubles are 2 apart.
  tables.emplace_back();
  for (int i = -20; i <= 100; i += i < 0 ? 1 : 2) tables.back().push_back(p53 + i);
  std::mt19937_64 rng(5);
  std::lognormal_distribution<double> lognormal(1.0, 2.0);
  tables.emplace_back();
  for (int i = 0; i < 20000; ++i) tables.back().push_back(lognormal(rng) - 3);
  for (const auto& values : tables) {
    for (int bin_count : {1, 2, 3, 5, 10, 33, 160, 10000}) {
      EXPECT_TRUE(same_bins(count(values, bin_count), reference_bins(values, bin_count)))
          << values.size() << " values, " << bin_count << " bins";
    }
  }
}
