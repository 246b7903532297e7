#include "input/input_file.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <map>
#include <mutex>
#include <new>
#include <thread>

#include <fcntl.h>
#include <unistd.h>

#include "driver/histogram_job.h"
#include "driver/messages.h"
#include "driver/parallel.h"
#include "driver/progress.h"
#include "input/block_stream.h"

namespace {

[[noreturn]] void read_error(const std::string& path, const std::string& reason) {
  throw diagnostic("cannot read input table", path, reason);
}

// Below this a piece costs more in threads and joins than it saves.
constexpr std::uint64_t kMinPiece = std::uint64_t{8} << 20;
// The fewest bytes a record takes (eight one-character fields and their separators): a bound
// on the records of a stretch of bytes.
constexpr std::uint64_t kMinRecordBytes = 16;

// Up to `size` bytes, fewer only at the end of the file: at `offset` where given (a regular
// file, read without moving its offset), else from where the descriptor stands (a pipe).
std::string read_up_to(int fd, std::size_t size, std::optional<std::uint64_t> offset) {
  std::string bytes(size, '\0');
  std::size_t have = 0;
  while (have < size) {
    char* to = bytes.data() + have;
    const ssize_t got = offset ? ::pread(fd, to, size - have, static_cast<off_t>(*offset + have))
                               : ::read(fd, to, size - have);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) throw ReadFailure{std::strerror(errno)};
    if (got == 0) break;
    have += static_cast<std::size_t>(got);
  }
  bytes.resize(have);
  return bytes;
}

// The start of the first line that begins after `from` and before `limit`.
std::optional<std::uint64_t> line_start_after(int fd, std::uint64_t from, std::uint64_t limit) {
  constexpr std::size_t kWindow = std::size_t{64} << 10;
  for (std::uint64_t at = from; at < limit; at += kWindow) {
    const std::string window = read_up_to(fd, kWindow, at);
    if (const std::size_t lf = window.find('\n'); lf != std::string::npos) {
      return at + lf + 1 < limit ? std::optional(at + lf + 1) : std::nullopt;
    }
    if (window.size() < kWindow) break;
  }
  return std::nullopt;
}

// Where the pieces of the records [data_start, size) begin: as many pieces as threads, of
// about equal size, each from a line start; or the given cuts.
std::vector<std::uint64_t> lay_out(int fd, std::uint64_t data_start, std::uint64_t size,
                                   int threads, const std::vector<std::uint64_t>& cuts) {
  std::vector<std::uint64_t> starts{data_start};
  if (!cuts.empty()) {
    for (std::uint64_t cut : cuts) {
      if (cut > starts.back() && cut < size) starts.push_back(cut);
    }
    return starts;
  }
  if (size <= data_start) return starts;
  const std::uint64_t data = size - data_start;
  const auto pieces = std::clamp<std::uint64_t>(data / kMinPiece, 1, std::max(threads, 1));
  for (std::uint64_t i = 1; i < pieces; ++i) {
    const std::uint64_t target = data_start + data * i / pieces;
    const auto start = line_start_after(fd, std::max(target, starts.back()), size);
    if (start && *start > starts.back()) starts.push_back(*start);
  }
  return starts;
}

// A piece of a plain file and what its own reading made of it.
struct Piece {
  Piece(std::uint64_t begin, std::uint64_t end, std::size_t capacity, MemoryBudget& budget)
      : begin(begin), end(end), holder(capacity, budget) {}

  std::uint64_t begin, end;  // end: Unheld::kToEnd for the last piece
  Holder holder;
  Guess read;
};

// Feeds every record from where `scanner` stands to the end of `bytes` to on_record.
template <class Bytes, class OnRecord>
void read_records(Bytes& bytes, TableScanner& scanner, OnRecord& on_record) {
  for (;;) {
    const std::string_view view = bytes.at(scanner.offset());
    scanner.scan(view, on_record, bytes.ends_table(view));
    if (bytes.ends_stretch(view)) return;
  }
}

// Hands the records of the second reading over in batches.
class RowBatcher {
 public:
  RowBatcher(int thread, const RowBatches& sink) : thread_(thread), sink_(sink), rows_(1024) {}
  bool operator()(const TableScanner::Record& record) {
    rows_[size_++] = record.values;
    ++records_;
    if (size_ == rows_.size()) flush();
    return true;
  }
  void flush() {
    if (size_ > 0) sink_(thread_, {rows_.data(), size_});
    size_ = 0;
  }
  std::uint64_t records() const { return records_; }

 private:
  int thread_;
  const RowBatches& sink_;
  std::vector<Row> rows_;
  std::size_t size_ = 0;
  std::uint64_t records_ = 0;
};

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

struct InputFile::Reading {
  int fd;
  struct stat info;
  bool regular;
  MemoryBudget budget;
  WordRoom room;
  Progress progress;
  Tally total;
  std::vector<Holder> holders;
  TableScanner headers;  // the scanner that passed the header lines
};

bool InputFile::read(SeriesTable& series) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw "Unable to open file: " + path;
  struct stat info {};
  const bool regular = ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);
  if (regular) ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);

  // What may be held: the limit, less what the run needs anyway, less the room for one long
  // word and a read buffer for each thread beyond the first.
  const std::uint64_t budget = memory_limit > kRunOverhead ? memory_limit - kRunOverhead : 0;
  const std::uint64_t word_room = budget / 8;
  const std::uint64_t buffers = static_cast<std::uint64_t>(std::max(threads, 1) - 1) * kReadBuffer;
  Reading reading{file.get(),
                  info,
                  regular,
                  MemoryBudget(budget - std::min(budget, word_room + buffers)),
                  WordRoom(static_cast<std::size_t>(word_room)),
                  Progress("reading '" + path + "'", Progress::Unit::bytes,
                           regular ? static_cast<std::uint64_t>(info.st_size) : 0),
                  {},
                  {},
                  {}};
  Compression format = Compression::none;
  try {
    // A pipe's first bytes tell a compressed stream by; the rest of its check is the stream's.
    std::string head = regular ? read_up_to(file.get(), kTextCheckBytes, 0)
                               : read_up_to(file.get(), 16, std::nullopt);
    format = sniff_compression(head);
    if (regular && format == Compression::none) {
      check_text(head);
      read_pieces(reading);
    } else {
      // A regular file is decompressed from its start; a pipe's first bytes are already read.
      read_stream(reading, format, regular ? std::string() : std::move(head));
    }
  } catch (const ReadFailure& failure) {
    read_error(path, failure.reason);
  }

  for (std::size_t i = 0; i < SeriesTable::kSize; ++i) {
    series[static_cast<int>(i)].range = reading.total.ranges[i];
    series[static_cast<int>(i)].not_numbers = reading.total.not_numbers[i];
  }
  for (Holder& holder : reading.holders) {
    Rows rows = holder.release();
    if (!rows.empty()) held.push_back(std::move(rows));
  }
  std::vector<Unheld>& stretches = reading.total.unheld;
  std::erase_if(stretches, [](const Unheld& s) { return s.records == 0; });
  if (!stretches.empty()) {
    std::sort(stretches.begin(), stretches.end(),
              [](const Unheld& a, const Unheld& b) { return a.from.offset() < b.from.offset(); });
    // Stretches that meet are read again as one.
    std::vector<Unheld> joined;
    for (Unheld& s : stretches) {
      if (!joined.empty() && joined.back().end == s.from.offset()) {
        joined.back().end = s.end;
        joined.back().records += s.records;
      } else {
        joined.push_back(std::move(s));
      }
    }
    unheld = UnheldRecords{std::move(file), format, std::move(joined), info, reading.room.bytes()};
  }
  header1 = reading.headers.headers()[0];
  header2 = reading.headers.headers()[1];
  header3 = reading.headers.headers()[2];
  return true;
}

void InputFile::read_pieces(Reading& r) {
  // The header lines come before any piece.
  TableScanner& scanner = r.headers;
  {
    FileChunks chunks(r.fd, Unheld::kToEnd, r.room);
    pass_lines(chunks, scanner, [](const TableScanner& s) { return s.past_headers(); });
  }
  const auto size = static_cast<std::uint64_t>(r.info.st_size);
  const std::vector<std::uint64_t> starts = lay_out(r.fd, scanner.offset(), size, threads, cuts);
  std::vector<Piece> pieces;
  pieces.reserve(starts.size());
  for (std::size_t i = 0; i < starts.size(); ++i) {
    const bool last = i + 1 == starts.size();
    const std::uint64_t end = last ? Unheld::kToEnd : starts[i + 1];
    const std::uint64_t bytes = (last ? std::max(size, starts[i]) : end) - starts[i];
    pieces.emplace_back(starts[i], end, bytes / kMinRecordBytes + 2, r.budget);
  }

  for_each_task(pieces.size(), threads, [&](std::size_t i, int) {
    Piece& piece = pieces[i];
    FileChunks chunks(r.fd, piece.end, r.room, &r.progress.done);
    if (i > 0) return guess(chunks, piece.begin, piece.holder, piece.read, true);
    // The first piece starts where the header lines end: no guess.
    gather(chunks, scanner, piece.holder, r.total, true);
  });

  // The joins, in table order: `truth` stands where each piece really starts, the end of the
  // piece before as read from its own true start.
  TableScanner truth = scanner;
  for (std::size_t i = 1; i < pieces.size(); ++i) {
    Piece& piece = pieces[i];
    join(
        piece.read, truth, piece.holder, r.total, true,
        [&](std::uint64_t end) {
          return FileChunks(r.fd, end == Unheld::kToEnd ? piece.end : end, r.room);
        },
        [&] { piece.holder.truncate(0); });
  }
  for (Piece& piece : pieces) r.holders.push_back(std::move(piece.holder));
}

void InputFile::read_stream(Reading& r, Compression format, std::string head) {
  const int workers = std::max(threads, 1);
  BlockStream stream(ByteSource(r.fd, format, std::move(head)), 2 * workers + 2, block_size);
  // A compressed regular file can be decompressed again; a pipe cannot be read twice.
  const bool rereadable = r.regular;
  TableScanner& truth = r.headers;
  std::unique_ptr<Block> first = stream.next();
  if (workers > 1 && first && !first->last) {
    read_blocks(r, stream, std::move(first), rereadable);
    return;
  }
  // One thread, or a table of one block: in order, from the true state.
  Holder holder(static_cast<std::size_t>(r.budget.left() / sizeof(Row) + 1), r.budget);
  StreamTail tail(r.room);
  for (std::unique_ptr<Block> block = std::move(first); block; block = stream.next()) {
    const std::uint64_t end = block->offset + block->size;
    MemoryBytes bytes(tail.bytes(*block, truth.offset(), end), truth.offset(), block->last);
    gather(bytes, truth, holder, r.total, rereadable);
    tail.keep(*block, truth.offset());
    r.progress.done = stream.file_bytes_read();
    stream.recycle(std::move(block));
  }
  r.holders.push_back(std::move(holder));
}

void InputFile::read_blocks(Reading& r, BlockStream& stream, std::unique_ptr<Block> first,
                            bool rereadable) {
  // Each block is read on a worker with a guessed start, like a piece of a file; whichever
  // worker finishes the block that is next in order joins it, and those after it that are
  // done, to the table read so far.
  struct Read {
    std::unique_ptr<Block> block;
    int worker = 0;
    std::size_t held_from = 0, held_to = 0;  // in the worker's holder
    Guess guess;
  };
  const int workers = std::max(threads, 1);
  const auto capacity = static_cast<std::size_t>(r.budget.left() / sizeof(Row) + 1);
  std::vector<Holder> holders;
  for (int w = 0; w < workers; ++w) holders.emplace_back(capacity, r.budget);
  std::vector<std::vector<std::pair<std::size_t, std::size_t>>> dropped(workers);

  std::mutex queue_mutex;
  std::condition_variable queue_changed;
  std::deque<std::pair<std::uint64_t, std::unique_ptr<Block>>> queue;
  bool fed = false;

  std::mutex join_mutex;  // guards what follows
  std::map<std::uint64_t, Read> done;
  std::uint64_t next_join = 0;
  std::exception_ptr failure;
  std::atomic<bool> failed{false};
  TableScanner& truth = r.headers;
  StreamTail tail(r.room);

  auto join_block = [&](Read& read, int worker) {
    const Block& block = *read.block;
    const std::uint64_t block_end = block.offset + block.size;
    join(
        read.guess, truth, holders[worker], r.total, rereadable,
        [&](std::uint64_t end) {
          end = std::min(end, block_end);
          return MemoryBytes(tail.bytes(block, truth.offset(), end), truth.offset(),
                             block.last && end == block_end);
        },
        [&] { dropped[read.worker].emplace_back(read.held_from, read.held_to); });
    tail.keep(block, truth.offset());
  };

  auto work = [&](int worker) {
    for (;;) {
      std::pair<std::uint64_t, std::unique_ptr<Block>> item;
      {
        std::unique_lock lock(queue_mutex);
        queue_changed.wait(lock, [&] { return !queue.empty() || fed; });
        if (queue.empty()) return;
        item = std::move(queue.front());
        queue.pop_front();
      }
      queue_changed.notify_all();
      Read read;
      read.block = std::move(item.second);
      read.worker = worker;
      if (!failed) {
        const Block& block = *read.block;
        MemoryBytes bytes(block.view(), block.offset, block.last);
        read.held_from = holders[worker].size();
        guess(bytes, block.offset, holders[worker], read.guess, rereadable);
        read.held_to = holders[worker].size();
      }
      std::lock_guard lock(join_mutex);
      done.emplace(item.first, std::move(read));
      for (auto next = done.find(next_join); next != done.end(); next = done.find(next_join)) {
        if (!failed) {
          try {
            join_block(next->second, worker);
          } catch (...) {
            failure = std::current_exception();
            failed = true;
          }
        }
        stream.recycle(std::move(next->second.block));
        done.erase(next);
        ++next_join;
      }
    }
  };

  std::vector<std::thread> pool;
  try {
    for (int w = 0; w < workers; ++w) pool.emplace_back(work, w);
  } catch (const std::system_error&) {
    // Fewer workers then; the ones that started take every block.
  }
  auto feed = [&](std::uint64_t sequence, std::unique_ptr<Block> block) {
    {
      std::lock_guard lock(queue_mutex);
      queue.emplace_back(sequence, std::move(block));
    }
    queue_changed.notify_all();
  };
  std::exception_ptr reading_failure;
  try {
    std::uint64_t sequence = 0;
    feed(sequence++, std::move(first));
    while (!failed) {
      std::unique_ptr<Block> block = stream.next();
      if (!block) break;
      r.progress.done = stream.file_bytes_read();
      feed(sequence++, std::move(block));
    }
  } catch (...) {
    reading_failure = std::current_exception();
  }
  {
    std::lock_guard lock(queue_mutex);
    fed = true;
  }
  queue_changed.notify_all();
  if (pool.empty()) work(0);
  for (std::thread& t : pool) t.join();
  // A failure in the table's order comes first: the one a reading from the start meets.
  if (failure) std::rethrow_exception(failure);
  if (reading_failure) std::rethrow_exception(reading_failure);
  for (int w = 0; w < workers; ++w) {
    for (const auto& [from, to] : dropped[w]) holders[w].drop(from, to);
    r.holders.push_back(std::move(holders[w]));
  }
}

void read_again(UnheldRecords& rest, const std::string& path, int threads,
                const RowBatches& count) {
  const int fd = rest.file.get();
  struct stat now {};
  auto changed = [&] { read_error(path, "it changed while it was read"); };
  if (::fstat(fd, &now) != 0 || !same_file(now, rest.identity)) changed();
  WordRoom room(rest.word_room);
  std::vector<Unheld>& stretches = rest.stretches;
  // A compressed table is decompressed whole again; of a plain one, only the stretches are read.
  std::uint64_t total = static_cast<std::uint64_t>(now.st_size);
  if (rest.format == Compression::none) {
    total = 0;
    const auto size = static_cast<std::uint64_t>(now.st_size);
    for (const Unheld& s : stretches) total += std::min(s.end, size) - s.from.offset();
  }
  Progress progress("reading '" + path + "' again", Progress::Unit::bytes, total);
  try {
    if (rest.format == Compression::none) {
      for_each_task(stretches.size(), threads, [&](std::size_t i, int worker) {
        FileChunks chunks(fd, stretches[i].end, room, &progress.done);
        TableScanner scanner = stretches[i].from;
        RowBatcher batcher(worker, count);
        read_records(chunks, scanner, batcher);
        batcher.flush();
        if (batcher.records() != stretches[i].records) changed();
      });
      return;
    }
    if (::lseek(fd, 0, SEEK_SET) != 0) throw ReadFailure{std::strerror(errno)};
    BlockStream stream(ByteSource(fd, rest.format, {}), 4);
    StreamTail tail(room);
    RowBatcher batcher(0, count);
    std::size_t k = 0;
    std::optional<TableScanner> scanner;  // in stretch k, once it has begun
    std::uint64_t records_before = 0;
    while (auto block = stream.next()) {
      const std::uint64_t block_end = block->offset + block->size;
      while (k < stretches.size()) {
        const Unheld& s = stretches[k];
        if (!scanner) {
          if (s.from.offset() >= block_end && !block->last) break;
          scanner = s.from;
          records_before = batcher.records();
        }
        const std::uint64_t stop = std::min(s.end, block_end);
        MemoryBytes bytes(tail.bytes(*block, scanner->offset(), stop), scanner->offset(),
                          block->last && stop == block_end);
        read_records(bytes, *scanner, batcher);
        if (s.end > block_end && !block->last) break;
        if (batcher.records() - records_before != s.records) changed();
        scanner.reset();
        ++k;
      }
      // What a stretch may still need of this block: the start of a word that goes on.
      tail.keep(*block, scanner                ? scanner->offset()
                        : k < stretches.size() ? stretches[k].from.offset()
                                               : block_end);
      progress.done = stream.file_bytes_read();
      stream.recycle(std::move(block));
    }
    batcher.flush();
    if (k < stretches.size()) changed();
  } catch (const ReadFailure& failure) {
    read_error(path, failure.reason);
  }
}

void HistogramJob::read_data() {
  InputFile reader(input_file);
  reader.memory_limit = memory_limit;
  reader.threads = threads;
  reader.read(series);
  held = std::move(reader.held);
  unheld = std::move(reader.unheld);
  for (const Series& s : series) {
    if (s.not_numbers.count > 0) {
      print_line(not_numbers_line(SeriesTable::short_name(s.index), s.not_numbers));
    }
  }
}
