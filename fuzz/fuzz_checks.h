// Invariants the fuzz targets hold every input to. A broken one aborts, which libFuzzer
// reports as a crash with the input that caused it.
#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "binning/bin.h"
#include "chart/chart_layout.h"
#include "driver/histogram_job.h"

namespace histchart {

#define FUZZ_CHECK(condition)                                                            \
  do {                                                                                   \
    if (!(condition)) {                                                                  \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #condition); \
      std::abort();                                                                      \
    }                                                                                    \
  } while (0)

// The chart of any bins: every coordinate finite and on or near the image, every text short.
inline void check_layout(const std::vector<Bin>& bins, const std::string& title) {
  for (const ChartShape& s : layout_chart(bins, title, HistogramJob::axis_scale)) {
    for (double v : {s.x1, s.y1, s.x2, s.y2}) {
      FUZZ_CHECK(std::isfinite(v));
      FUZZ_CHECK(v > -1000 && v < 1000);
    }
    if (s.kind == ChartShape::Kind::text && s.text != title) FUZZ_CHECK(s.text.size() <= 24);
  }
}

}  // namespace histchart
