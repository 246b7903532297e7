#include "binning/binning.h"
#include "binning/sort_values.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "driver/histogram_job.h"

namespace {

struct Expected {
  double left, right;
  Values elements;
};

void expect_bins(const std::vector<Bin>& bins, const std::vector<Expected>& expected,
                 const std::string& name) {
  ASSERT_EQ(bins.size(), expected.size()) << name;
  for (std::size_t i = 0; i < bins.size(); ++i) {
    EXPECT_EQ(bins[i].left, expected[i].left) << name << " bin " << i;
    EXPECT_EQ(bins[i].right, expected[i].right) << name << " bin " << i;
    EXPECT_EQ(bins[i].elements, expected[i].elements) << name << " bin " << i;
    EXPECT_EQ(bins[i].count, static_cast<int>(bins[i].elements.size())) << name << " bin " << i;
  }
}

Values tenths() {
  Values v;
  for (const char* t : {"0", "0.1", "0.2", "0.3", "0.4", "0.5", "0.6", "0.7", "0.8", "0.9", "1"})
    v.push_back(std::atof(t));
  return v;
}

}  // namespace

TEST(Binning, FollowsTheAccumulatedEdgeWalk) {
  struct Case {
    const char* name;
    Values values;
    int bin_count;
    std::vector<Expected> bins;
  };
  const double x = 0.9999999999999999;
  std::vector<Expected> eleven{{0, 0.1, {0}}};
  for (int i = 0; i < 9; ++i) eleven.push_back({0, 0, {}});
  const std::vector<Case> cases = {
      {"two bins", {3, 0, 4, 1, 2}, 2, {{0, 2, {0, 1}}, {2, 4, {2, 3, 4}}}},
      {"one to ten",
       {1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
       3,
       {{1, 4, {1, 2, 3}}, {4, 7, {4, 5, 6}}, {7, 10, {7, 8, 9, 10}}}},
      {"gap makes empty bins",
       {0, 9, 10},
       5,
       {{0, 2, {0}}, {2, 4, {}}, {4, 6, {}}, {6, 8, {}}, {8, 10, {9, 10}}}},
      {"maximum joins the open bin", {0, 1, 2, 10}, 5, {{0, 2, {0, 1}}, {2, 4, {2, 10}}}},
      {"all equal", {5, 5, 5}, 4, {}},
      {"single value", {7}, 1, {}},
      {"no values", {}, 10, {}},
      {"one bin", {2, -1, 5}, 1, {{-1, 5, {-1, 2, 5}}}},
      {"tenths",
       tenths(),
       10,
       {{0, 0.1, {0}},
        {0.1, 0.2, {0.1}},
        {0.2, 0.30000000000000004, {0.2, 0.3}},
        {0.30000000000000004, 0.4, {}},
        {0.4, 0.5, {0.4}},
        {0.5, 0.6, {0.5}},
        {0.6, 0.7, {0.6}},
        {0.7, 0.7999999999999999, {0.7}},
        {0.7999999999999999, 0.8999999999999999, {0.8}},
        {0.8999999999999999, x, {0.9, 1}}}},
      // Edges that stop moving: the walk ends with one bin reaching to the maximum.
      {"edge lost in rounding from the start",
       {1e16, 1e16 + 2},
       10,
       {{1e16, 1e16 + 2, {1e16, 1e16 + 2}}}},
      {"width underflows to zero", {0, 5e-324, 5e-324}, 10, {{0, 5e-324, {0, 5e-324, 5e-324}}}},
  };
  for (const Case& c : cases) {
    Values values = c.values;
    std::vector<Bin> bins;
    bin_values(values, c.bin_count, bins);
    expect_bins(bins, c.bins, c.name);
    EXPECT_TRUE(std::is_sorted(values.begin(), values.end())) << c.name;
  }

  // The eleventh bin of 0, 0.9999999999999999, 1 lies beyond the tenth accumulated edge.
  Values values = {1, x, 0};
  std::vector<Bin> bins;
  bin_values(values, 10, bins);
  ASSERT_EQ(bins.size(), 11u);
  EXPECT_EQ(bins.front().elements, Values{0});
  EXPECT_EQ(bins.back().left, x);
  EXPECT_EQ(bins.back().right, 1.0999999999999999);
  EXPECT_EQ(bins.back().elements, (Values{x, 1}));
}

TEST(Binning, EdgesThatStopMovingPartWayEndSoundly) {
  // Below 2^53 doubles are 1 apart and a width of 0.75 moves each edge by 1; from 2^53 on they
  // are 2 apart and the same width no longer moves it.
  const double p53 = std::ldexp(1.0, 53);
  Values values;
  for (int i = -20; i < 0; ++i) values.push_back(p53 + i);
  for (int i = 0; i <= 100; i += 2) values.push_back(p53 + i);
  const std::size_t n = values.size();
  for (int bin_count : {1, 7, 160, 1000, 10000}) {
    Values v = values;
    std::vector<Bin> bins;
    bin_values(v, bin_count, bins);
    std::size_t total = 0;
    for (const Bin& b : bins) total += b.elements.size();
    EXPECT_EQ(total, n) << bin_count;
    EXPECT_LE(bins.size(), 2u * bin_count + 2) << bin_count;
    EXPECT_EQ(bins.back().elements.back(), v.back());
    EXPECT_EQ(bins.back().right, bin_count == 7 ? bins.back().left + 120.0 / 7 : v.back());
  }
  Values v = values;
  std::vector<Bin> bins;
  bin_values(v, 160, bins);
  ASSERT_EQ(bins.size(), 21u);
  EXPECT_EQ(bins[19].left, p53 - 1);
  EXPECT_EQ(bins[20].left, p53);
  EXPECT_EQ(bins[20].count, 51);
}

TEST(Binning, LeavesOutNonFiniteValuesAndSaysSo) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  Values values = {3, nan, -inf, 1, inf, 2};
  EXPECT_EQ(remove_non_finite(values), 3u);
  EXPECT_EQ(values, (Values{3, 1, 2}));

  HistogramJob job("in.txt", 2, "font.ttf", "out_");
  job.series.at(1).values = {nan, 0, 4, inf};
  job.series.at(6).values = {1, 2};
  testing::internal::CaptureStderr();
  job.make_bins();
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "histchart: left out values of 'CH4': 2 are not finite numbers\n");
  EXPECT_EQ(job.series.at(1).values, (Values{0, 4}));
  ASSERT_EQ(job.series.at(1).bins.size(), 1u);  // the maximum joins the open bin
  EXPECT_EQ(job.series.at(1).bins[0].elements, (Values{0, 4}));
  EXPECT_TRUE(job.series.at(0).bins.empty());
}

TEST(SortValues, OrdersLikeLessThan) {
  std::mt19937_64 rng(5);
  for (std::size_t n : {0, 1, 2, 100, 511, 512, 5000, 300000}) {
    std::vector<double> values(n);
    for (double& v : values) {
      switch (rng() % 4) {
        case 0: {  // any finite bit pattern: subnormals, huge magnitudes, both zeros
          const std::uint64_t bits = rng();
          std::memcpy(&v, &bits, sizeof v);
          if (!std::isfinite(v)) v = -0.0;
          break;
        }
        case 1:
          v = static_cast<double>(static_cast<int>(rng() % 200) - 100);
          break;
        case 2:
          v = (rng() % 2 ? -1.0 : 1.0) * std::ldexp(static_cast<double>(rng() % 1000), -1074);
          break;
        default:
          v = std::ldexp(static_cast<double>(rng()), static_cast<int>(rng() % 60));
          break;
      }
    }
    std::vector<double> expected = values;
    std::sort(expected.begin(), expected.end());
    sort_values(values.data(), values.size());
    for (std::size_t i = 0; i < n; ++i) {
      ASSERT_FALSE(values[i] < expected[i] || expected[i] < values[i]) << n << " at " << i;
      if (i > 0) {
        ASSERT_FALSE(values[i] < values[i - 1]) << n << " at " << i;
      }
    }
  }
}
