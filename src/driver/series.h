// The seven result variables a run charts, in their fixed order.
//
// Each Series carries one variable through the run: the reader measures its range and notes
// its fields that are not numbers (the values themselves are kept by record, see
// HistogramJob::records), the binning counts the values into its bins, the chart pass draws them.
// The position of a series in the table is its index, which also selects its input column and its
// output file name.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "base/series_count.h"
#include "base/value_range.h"
#include "binning/bin.h"

namespace histchart {

struct Series {
  Series(int index, std::string title) : title(std::move(title)), index(index) {}

  ValueRange range;  // of every value read, held or not
  std::vector<Bin> bins;
  std::string title;
  int index;
};

class SeriesTable {
 public:
  static constexpr int kSize = kSeriesCount;

  SeriesTable();
  SeriesTable(const SeriesTable&) = delete;
  SeriesTable& operator=(const SeriesTable&) = delete;

  static std::string_view short_name(int index);

  Series& operator[](int position) { return entries_[position]; }
  const Series& operator[](int position) const { return entries_[position]; }

  auto begin() { return entries_.begin(); }
  auto end() { return entries_.end(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

 private:
  std::vector<Series> entries_;
};

}  // namespace histchart
