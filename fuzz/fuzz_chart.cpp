// The chart geometry and label texts over arbitrary bins (counts and edges straight from the
// input bytes, non-finite edges included), and the axis scale over every count it can meet.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "chart/axis_scale.h"
#include "fuzz_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kRecord = sizeof(std::int32_t) + 2 * sizeof(double);
  std::vector<Bin> bins;
  for (std::size_t at = 0; at + kRecord <= size && bins.size() < 20000; at += kRecord) {
    std::int32_t count;
    double left, right;
    std::memcpy(&count, data + at, sizeof count);
    std::memcpy(&left, data + at + 4, sizeof left);
    std::memcpy(&right, data + at + 12, sizeof right);
    // Counts as the binning makes them: never negative, and bounded by the rows a run can hold.
    count = static_cast<std::int32_t>(static_cast<std::uint32_t>(count) % 1000000000u);
    bins.emplace_back(count, left, right);
  }
  if (!bins.empty()) {
    bool any = false;
    for (const Bin& b : bins) any = any || b.count > 0;
    if (any) check_layout(bins, "N_leaching ( kg N/ha per year )");
    const int top = bins.front().count + bins.front().count / 4;
    double major, minor, axis_min, axis_max;
    HistogramJob::axis_scale(0.0, top, major, minor, axis_min, axis_max);
    FUZZ_CHECK(major == 4 || major == 5 || major == 6 || major == 7 || major == 7.2);
    FUZZ_CHECK(minor == 5 && axis_min <= 0 && axis_max >= top);
  }
  return 0;
}
