#include "input/second_reading.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include <unistd.h>

#include "base/progress.h"
#include "base/worker_pool.h"
#include "input/bytes/block_stream.h"
#include "input/bytes/file_stretch.h"
#include "input/bytes/long_word_room.h"
#include "input/bytes/stretch.h"
#include "input/bytes/table_failure.h"
#include "input/row_batcher.h"

namespace histchart {

namespace {

// Feeds every record from where `scanner` stands to the end of `stretch` to `batcher`.
template <class Stretch>
void read_records(Stretch& stretch, TableScanner& scanner, RowBatcher& batcher) {
  auto take = [&](const TableScanner::Record& record) {
    Row& row = batcher.next();
    for (int i = 0; i < kSeriesCount; ++i) row[static_cast<std::size_t>(i)] = record[i];
    return true;
  };
  walk(stretch, scanner, [&](std::string_view view, bool last) {
    scanner.scan(view, take, last);
    return WalkStep::next_view;
  });
}

bool same_file(const struct stat& a, const struct stat& b) {
  return a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

[[noreturn]] void changed() { throw Failure::table_changed(); }

// Of a plain table, only the stretches are read, each on a worker.
void read_plain(UnheldRecords& rest, int threads, Progress& progress, LongWordRoom& room,
                const RowBatches& count) {
  std::vector<UnheldStretch>& stretches = rest.stretches;
  for_each_task(stretches.size(), threads, [&](std::size_t i, int worker) {
    FileStretch stretch(rest.file.get(), static_cast<std::uint64_t>(rest.identity.st_size),
                        stretches[i].end, room, &progress.done);
    TableScanner scanner = stretches[i].from;
    RowBatcher batcher(worker, count);
    read_records(stretch, scanner, batcher);
    batcher.flush();
    if (batcher.records() != stretches[i].records) changed();
  });
}

// A compressed table is decompressed whole again, in order; the stretches are read from it as
// they come.
void read_compressed(UnheldRecords& rest, Progress& progress, LongWordRoom& room,
                     const RowBatches& count) {
  std::vector<UnheldStretch>& stretches = rest.stretches;
  if (::lseek(rest.file.get(), 0, SEEK_SET) != 0) cannot_read(std::strerror(errno));
  DecodingThreads decoding;
  decoding.window = rest.window;
  BlockStream stream(ByteSource(rest.file.get(), rest.format, {}, decoding), 4);
  const Progress::ShownCounter shown(progress, stream.file_bytes_counter());
  StreamTail tail(room);
  RowBatcher batcher(0, count);
  std::size_t k = 0;
  std::optional<TableScanner> scanner;  // in stretch k, once it has begun
  std::uint64_t records_before = 0;
  while (auto block = stream.next()) {
    const std::uint64_t block_end = block->offset + block->size;
    while (k < stretches.size()) {
      const UnheldStretch& s = stretches[k];
      if (!scanner) {
        if (s.from.offset() >= block_end && !block->last) break;
        scanner = s.from;
        records_before = batcher.records();
      }
      const std::uint64_t stop = std::min(s.end, block_end);
      MemoryStretch bytes(tail.bytes(*block, scanner->offset(), stop), scanner->offset(),
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
    stream.recycle(std::move(block));
  }
  batcher.flush();
  if (k < stretches.size()) changed();
}

}  // namespace

void read_again(UnheldRecords& rest, const std::string& path, int threads,
                const RowBatches& count) {
  struct stat now {};
  if (::fstat(rest.file.get(), &now) != 0 || !same_file(now, rest.identity)) changed();
  LongWordRoom room(rest.word_room);
  std::uint64_t total = static_cast<std::uint64_t>(now.st_size);
  if (rest.format == Compression::none) {
    total = 0;
    const auto size = static_cast<std::uint64_t>(now.st_size);
    for (const UnheldStretch& s : rest.stretches) total += std::min(s.end, size) - s.from.offset();
  }
  Progress progress("reading '" + path + "' again", Progress::Unit::bytes, total);
  if (rest.format == Compression::none) {
    read_plain(rest, threads, progress, room, count);
  } else {
    read_compressed(rest, progress, room, count);
  }
}

}  // namespace histchart
