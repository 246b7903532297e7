// The second reading of a table too large to hold: the stretches whose records were only
// measured the first time, read again when the counting asks for every record.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include <sys/stat.h>

#include "base/files.h"
#include "input/bytes/byte_source.h"
#include "input/gathering.h"
#include "input/table_records.h"

namespace histchart {

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

}  // namespace histchart
