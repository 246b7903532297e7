// Reads the input table into the seven series (the first phase of a run).
//
// A plain table in a regular file is cut into pieces, one or a few per thread, each cut just
// after a line break, and each piece is read on its own as if a record started there. Records
// are counted by fields, not lines, so that guess can be wrong: each join is checked against
// where the piece before really ended, and what the guess got wrong is read again from the
// true state. The outcome is the one a single reading from the start gives, whatever the
// number of threads. A pipe or a compressed table arrives in order, from a thread that reads
// and decompresses it ahead of the parsing; its blocks are parsed the same way, each from a
// guessed start, on as many threads, and joined in order.
//
// The values are held in memory as far as the run's memory limit allows. Beyond it, the
// records are only measured (each series' range), and counted later by reading those
// stretches of the table a second time, once the bins' edges are known. Input that cannot be
// read twice (a pipe) must fit.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include <sys/stat.h>

#include "driver/run_limits.h"
#include "driver/series.h"
#include "input/block_stream.h"
#include "input/byte_source.h"
#include "input/gathering.h"

// What a run needs besides the values: the read buffers, the font, the images, the libraries'
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

// The stretches of a table that were measured but not held, to be read a second time.
struct UnheldRecords {
  FileDescriptor file;  // kept open, so the second reading is of the same file
  Compression format = Compression::none;
  std::vector<Unheld> stretches;  // in table order
  struct stat identity {};        // the file as the first reading found it
  std::size_t word_room = 0;
};

// Receives the records of the second reading, in batches, with the number (0 to threads - 1)
// of the thread that read them; calls from different threads come at the same time.
using RowBatches = std::function<void(int thread, std::span<const Row> rows)>;

// Reads every stretch of `rest` again, on up to `threads` threads, handing each record to
// `count`. Throws the message text when the table can no longer be read, or gives other
// records than the first time: it changed in between.
void read_again(UnheldRecords& rest, const std::string& path, int threads, const RowBatches& count);

class InputFile {
 public:
  explicit InputFile(std::string path) : path(std::move(path)) {}

  // Holds the records in `held`, as far as `memory_limit` allows, and gathers every record
  // into each series' range and its report of fields that are not numbers (see TableScanner for the
  // record rules). Throws the message text (a std::string) when the table cannot be opened or read
  // to its end, is not text, or is a pipe whose values do not fit; std::bad_alloc for a word longer
  // than the run may hold.
  bool read(SeriesTable& series);

  std::string path;
  std::string header1;
  std::string header2;
  std::string header3;
  std::size_t memory_limit = kNoMemoryLimit;
  int threads = 1;  // the threads a reading may use
  // Where pieces of a plain file begin, in place of laying them out by size and thread count,
  // and the size of the blocks a stream is read in: only tests set them.
  std::vector<std::uint64_t> cuts;
  std::size_t block_size = BlockStream::kBlock;
  std::vector<Rows> held;               // the records held, in parts
  std::optional<UnheldRecords> unheld;  // set by read() when not every record was held

 private:
  struct Reading;
  void read_pieces(Reading& reading);
  void read_stream(Reading& reading, Compression format, std::string head);
  void read_blocks(Reading& reading, BlockStream& stream, std::unique_ptr<Block> first,
                   bool rereadable);
};
