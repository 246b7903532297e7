// What reading a table leaves for counting: every record, whether the reading held it in memory
// or only measured it and reads it again when asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "base/failure.h"
#include "base/series_count.h"

namespace histchart {

// Receives records in batches, with the number (0 to threads - 1) of the thread that hands
// them; calls from different threads come at the same time.
struct HeldRecords;    // holding/held_rows.h
struct UnheldRecords;  // second_reading.h

using RowBatches = std::function<void(int thread, std::span<const Row> rows)>;

class TableRecords {
 public:
  TableRecords();
  // What one reading of `path` left behind: the records it held, and the stretches it only
  // measured, where it did not hold them all.
  TableRecords(HeldRecords held, std::optional<UnheldRecords> unheld, std::string path);
  TableRecords(TableRecords&&) noexcept;
  TableRecords& operator=(TableRecords&&) noexcept;
  ~TableRecords();

  // Whether for_each() reads (part of) the table again: it did not fit in memory.
  bool reads_again() const;
  // Hands every record to `take`, on up to `threads` threads: the held ones, then those read
  // again. Fails where the table can no longer be read, or gives other records than the first
  // reading did: it changed in between (Failure::Kind::table_changed). The taker holds
  // `beside` bytes of its own meanwhile: where memory runs out and those are more than the
  // reading's own buffers, or while held records are handed on, the failure is left unnamed
  // (Failure::Kind::out_of_memory) for the taker to name.
  MaybeFailure for_each(int threads, const RowBatches& take, std::uint64_t beside = 0);

 private:
  struct Kept;
  std::unique_ptr<Kept> kept_;
};

}  // namespace histchart
