// What reading a table leaves for counting: every record, whether the reading held it in memory
// or only measured it and reads it again when asked.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>
#include <span>

#include "base/failure.h"
#include "base/series_count.h"

namespace histchart {

// Receives records in batches, with the number (0 to threads - 1) of the thread that hands
// them; calls from different threads come at the same time.
using RowBatches = std::function<void(int thread, std::span<const Row> rows)>;

class TableRecords {
 public:
  // What one reading of a table left behind (second_reading.h).
  struct Kept;
  // The size of the read buffer each thread that reads the table again takes.
  static std::size_t read_buffer();

  TableRecords();
  explicit TableRecords(std::unique_ptr<Kept> kept);
  TableRecords(TableRecords&&) noexcept;
  TableRecords& operator=(TableRecords&&) noexcept;
  ~TableRecords();

  // Whether for_each() reads (part of) the table again: it did not fit in memory.
  bool reads_again() const;
  // Hands every record to `take`, on up to `threads` threads: the held ones, then those read
  // again. Fails where the table can no longer be read, or gives other records than the first
  // reading did: it changed in between.
  MaybeFailure for_each(int threads, const RowBatches& take);

 private:
  std::unique_ptr<Kept> kept_;
};

}  // namespace histchart
