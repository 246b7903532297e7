// The chart geometry and label texts over arbitrary bins (counts and edges straight from the
// input bytes, non-finite edges included), and the axis scale over every count it can meet.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "chart/axis_scale.h"
#include "fuzz_checks.h"

using namespace histchart;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kRecord = sizeof(std::int64_t) + 2 * sizeof(double);
  std::vector<Bin> bins;
  for (std::size_t at = 0; at + kRecord <= size && bins.size() < 20000; at += kRecord) {
    std::uint64_t count;
    double left, right;
    std::memcpy(&count, data + at, sizeof count);
    std::memcpy(&left, data + at + 8, sizeof left);
    std::memcpy(&right, data + at + 16, sizeof right);
    // Counts as the binning makes them: never negative, and bounded by the rows of a table
    // that can be read at all (a thousand terabytes).
    count %= std::uint64_t{1} << 50;
    bins.emplace_back(count, left, right);
  }
  if (!bins.empty()) {
    bool any = false;
    for (const Bin& b : bins) any = any || b.count > 0;
    if (any) check_layout(bins, "N_leaching ( kg N/ha per year )");
    const std::int64_t top = bins.front().count + bins.front().count / 4;
    const auto [major, minor, axis_min, axis_max] = scale_axis(0.0, static_cast<double>(top));
    FUZZ_CHECK(major == 4 || major == 5 || major == 6 || major == 7 || major == 7.2);
    FUZZ_CHECK(minor == 5 && axis_min <= 0 && axis_max >= static_cast<double>(top));
  }
  return 0;
}
