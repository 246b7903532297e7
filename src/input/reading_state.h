// What the parts of one first reading of a table share: the file, the memory, the progress
// line, and the in-order result that each part is joined to.
#pragma once

#include <cstdint>
#include <vector>

#include "base/progress.h"
#include "input/bytes/long_word_room.h"
#include "input/gathering.h"
#include "input/holding/held_rows.h"
#include "input/holding/reading_budget.h"
#include "input/records/table_scanner.h"

namespace histchart {

struct ReadingState {
  int fd;
  bool regular;        // a regular file, which can be read again
  std::uint64_t size;  // of a regular file
  int threads;
  DecodingThreads decoding;  // for a compressed table's decoder
  RowArena& arena;
  LongWordRoom& room;
  Progress& progress;
  Gathered total;                  // of the records joined so far
  std::vector<RowHolder> holders;  // whatever held records
  TableScanner in_order;           // has read the table in order up to where the joins stand
};

}  // namespace histchart
