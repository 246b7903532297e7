// Records handed over in batches, as they are filled in: the held ones and those read again
// reach the counting the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/series_count.h"
#include "input/table_records.h"

namespace histchart {

// Hands records over to a RowBatches in batches, as they are filled in.
class RowBatcher {
 public:
  RowBatcher(int thread, const RowBatches& sink) : thread_(thread), sink_(sink) {}
  // The row to fill in next; the batch goes once it is full, or at flush().
  Row& next() {
    if (size_ == rows_.size()) flush();
    ++records_;
    return rows_[size_++];
  }
  void flush() {
    if (size_ > 0) sink_(thread_, {rows_.data(), size_});
    size_ = 0;
  }
  std::uint64_t records() const { return records_; }

 private:
  int thread_;
  const RowBatches& sink_;
  // Well inside a core's first cache, and off the stack: 14 KiB would be most of a small one.
  std::vector<Row> rows_ = std::vector<Row>(256);
  std::size_t size_ = 0;
  std::uint64_t records_ = 0;
};

}  // namespace histchart
