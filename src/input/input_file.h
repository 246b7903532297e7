// Reads the input table into the seven series (the first phase of a run).
//
// The values are held in memory as far as the run's memory limit allows. Beyond it, a regular
// file is only measured (each series' range) from there on, and the records not held are
// counted by reading the file a second time, from where holding stopped, once the bins' edges
// are known. Input that cannot be read twice (a pipe) must fit.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "binning/binning.h"
#include "driver/series.h"
#include "input/memory_limit.h"
#include "input/table_scanner.h"

// What a run needs besides the values: the read buffer, the font, the images, the libraries'
// own allocations. Held values stay this far below the memory limit.
inline constexpr std::size_t kRunOverhead = std::size_t{32} << 20;

class FileDescriptor {
 public:
  explicit FileDescriptor(int fd = -1) : fd_(fd) {}
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    std::swap(fd_, other.fd_);
    return *this;
  }
  ~FileDescriptor();
  int get() const { return fd_; }

 private:
  int fd_;
};

// The records of a table that were measured but not held: where they start and how many.
struct UnheldRecords {
  FileDescriptor file;  // kept open, so the second reading is of the same file
  std::uint64_t offset = 0;
  TableScanner scanner;  // as it stood at `offset`
  std::uint64_t records = 0;
};

class InputFile {
 public:
  explicit InputFile(std::string path) : path(std::move(path)) {}

  // Appends the values of every record to each series, as far as `memory_limit` allows, and
  // adds every record's values to each series' range (see TableScanner for the record rules).
  // Throws the message text (a std::string) when the table cannot be opened or read to its
  // end, or is a pipe whose values do not fit.
  bool read(SeriesTable& series);

  std::string path;
  std::string header1;
  std::string header2;
  std::string header3;
  std::size_t memory_limit = kNoMemoryLimit;
  std::optional<UnheldRecords> unheld;  // set by read() when not every record was held
};

// Counts the records that read() did not hold, one counter per series in index order. Throws
// the message text when the file cannot be read, or gives other records than the first time.
void count_unheld(UnheldRecords& rest, const std::string& path, std::vector<BinCounter>& counters);
