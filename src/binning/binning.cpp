#include "binning/binning.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "driver/histogram_job.h"
#include "driver/messages.h"

std::size_t remove_non_finite(std::vector<double>& values) {
  const auto kept = std::remove_if(values.begin(), values.end(),
                                   [](double v) { return !std::isfinite(v); });
  const auto removed = static_cast<std::size_t>(values.end() - kept);
  values.erase(kept, values.end());
  return removed;
}

void bin_values(std::vector<double>& values, int bin_count, std::vector<Bin>& bins) {
  if (values.empty()) return;
  std::sort(values.begin(), values.end());
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
  std::vector<double> open;
  auto close = [&] {
    Bin& bin = bins.emplace_back(static_cast<int>(open.size()), left, right);
    bin.elements = open;
    open.clear();
  };

  for (auto it = values.begin(); it != values.end();) {
    const double v = *it;
    // The edges are accumulated, not recomputed as min + i * width: the rounding of each sum
    // decides where a value lands, and the charts are expected to match that walk exactly.
    // Values equal to the maximum join the open bin wherever its right edge lies, so the
    // maximum never opens a bin of its own.
    if ((left <= v && v < right) || v >= max) {
      open.push_back(v);
      ++it;
    } else {
      close();
      left = right;
      right = next_edge(left);
    }
  }
  if (left < max) close();
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
