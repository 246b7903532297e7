// Reads the input table: its records held in memory as far as the run's memory allows, and
// what every series needs of them all (its range, its fields that are not numbers).
//
// A plain table in a regular file is read in pieces, one or a few per thread (file_pieces.h);
// a pipe or a compressed table arrives in order and is read in blocks (stream_reading.h). Both
// give the outcome a single reading from the start gives, whatever the number of threads. The
// records that do not fit in memory are only measured, and read a second time when the
// counting asks for them (TableRecords); input that cannot be read twice (a pipe) must fit.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "base/series_count.h"
#include "base/value_range.h"
#include "input/records/not_numbers.h"
#include "input/table_records.h"

namespace histchart {

// What reading a table gives.
struct TableReading {
  std::array<ValueRange, kSeriesCount> ranges;
  std::array<NotNumbers, kSeriesCount> not_numbers;
  TableRecords records;
  int threads = 1;  // the threads the reading planned for itself; counting may use as many
};

struct ReadingCuts;  // where a check of the reading's paths cuts the table (reading_cuts.h)

struct ReadOptions {
  std::size_t memory_limit = SIZE_MAX;  // what the run may hold (see ReadingBudget)
  int cpus = 1;                         // the cores it may read on
};

class InputFile {
 public:
  explicit InputFile(std::string path) : path(std::move(path)) {}

  // Reads the table at `path` into `reading` (see TableScanner for the record rules). Fails
  // with "Unable to open file: PATH" where it cannot be opened; with "cannot read input table"
  // where it cannot be read to its end or is not text; with "out of memory reading" where it is
  // a pipe whose values do not fit, or has a word longer than the run may hold.
  MaybeFailure read(const ReadOptions& options, TableReading& reading);
  // The same, cut at `cuts` where a run would cut it by its size and threads.
  MaybeFailure read(const ReadOptions& options, const ReadingCuts& cuts, TableReading& reading);

  std::string path;
};

}  // namespace histchart
