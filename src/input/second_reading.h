// The second reading of a table too large to hold: the stretches whose records were only
// measured the first time, read again when the counting asks for every record.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "base/files.h"
#include "input/bytes/byte_source.h"
#include "input/gathering.h"
#include "input/holding/held_rows.h"
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

// The stretches of a table that were measured but not held.
struct UnheldRecords {
  FileDescriptor file;  // kept open, so the second reading is of the same file
  Compression format = Compression::none;
  std::vector<UnheldStretch> stretches;  // in table order
  struct stat identity {};               // the file as the first reading found it
  std::size_t word_room = 0;
  std::uint64_t window = 0;  // the largest zstd window or lzma dictionary the reading may take
};

// Reads every stretch of `rest` again, on up to `threads` threads, handing each record to
// `count`. Raises where the table can no longer be read, or gives other records than the
// first time: it changed in between.
void read_again(UnheldRecords& rest, const std::string& path, int threads, const RowBatches& count);

struct TableRecords::Kept {
  HeldRecords held;
  std::optional<UnheldRecords> unheld;  // set where not every record was held
  std::string path;                     // for the failures of reading it again
};

}  // namespace histchart
