#include "binning/binning.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "binning/sort_values.h"
#include "driver/histogram_job.h"
#include "driver/messages.h"

std::size_t remove_non_finite(Values& values) {
  const auto kept =
      std::remove_if(values.begin(), values.end(), [](double v) { return !std::isfinite(v); });
  const auto removed = static_cast<std::size_t>(values.end() - kept);
  values.erase(kept, values.end());
  return removed;
}

void bin_values(Values& values, int bin_count, std::vector<Bin>& bins) {
  if (values.empty()) return;
  sort_values(values.data(), values.size());
  const double min = values.front();
  const double max = values.back();
  const double width = (max - min) / static_cast<double>(bin_count);

  // Once the width is lost in rounding against the size of the edge (1e16 + 0.2 == 1e16), the
  // next bin would have no width and the walk could never pass the value in front of it. The
  // only sound way on is the rest of the range: that bin reaches to the maximum and takes every
  // remaining value. A walk that ends on its own never gets here, so its bins stay as they are.
  auto next_edge = [&](double left) {
    const double right = left + width;
    return right == left && left < max ? max : right;
  };

  double left = min;
  double right = next_edge(left);
  // The open bin's values are the sorted values from `first` up to the cursor.
  std::size_t first = 0;
  auto close = [&](std::size_t end) {
    Bin& bin = bins.emplace_back(static_cast<int>(end - first), left, right);
    bin.elements.assign(values.begin() + first, values.begin() + end);
    first = end;
  };

  const std::size_t n = values.size();
  for (std::size_t i = 0; i < n;) {
    const double v = values[i];
    // The edges are accumulated, not recomputed as min + i * width: the rounding of each sum
    // decides where a value lands, and the charts are expected to match that walk exactly.
    // Values equal to the maximum join the open bin wherever its right edge lies, so the
    // maximum never opens a bin of its own.
    if ((left <= v && v < right) || v >= max) {
      ++i;
    } else {
      close(i);
      left = right;
      right = next_edge(left);
    }
  }
  if (left < max) close(n);
}

void HistogramJob::make_bins() {
  for (Series& s : series) {
    const std::size_t removed = remove_non_finite(s.values);
    if (removed > 0) {
      print_line(diagnostic("left out values of", SeriesTable::short_name(s.index),
                            std::to_string(removed) + " are not finite numbers"));
    }
    bin_values(s.values, bin_count, s.bins);
  }
}
