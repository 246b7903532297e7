#include "input/input_file.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>

#include "base/files.h"
#include "base/messages.h"
#include "base/progress.h"
#include "input/bytes/block_stream.h"
#include "input/bytes/byte_source.h"
#include "input/bytes/table_failure.h"
#include "input/file_pieces.h"
#include "input/holding/reading_budget.h"
#include "input/reading_cuts.h"
#include "input/reading_state.h"
#include "input/second_reading.h"
#include "input/stream_reading.h"

namespace histchart {

namespace {

// The bytes a format is told by (a pipe's past any skippable frames it starts with), and a
// regular file's first ones checked for text.
std::string first_bytes_of(int fd, bool regular) {
  std::string bytes;
  if (regular) {
    bytes.resize(kTextCheckBytes);
    const IoResult got = read_up_to(fd, bytes.data(), bytes.size(), 0);
    if (got.error != 0) cannot_read(std::strerror(got.error));
    bytes.resize(got.bytes);
    return bytes;
  }
  for (std::size_t want = sniff_bytes_wanted(bytes); bytes.size() < want;
       want = sniff_bytes_wanted(bytes)) {
    const std::size_t have = bytes.size();
    bytes.resize(want);
    const IoResult got = read_up_to(fd, bytes.data() + have, want - have);
    if (got.error != 0) cannot_read(std::strerror(got.error));
    bytes.resize(have + got.bytes);
    if (got.bytes < want - have) break;  // the pipe has ended
  }
  return bytes;
}

// Stretches that meet are read again as one.
std::vector<UnheldStretch> merge_adjacent(std::vector<UnheldStretch> stretches) {
  std::erase_if(stretches, [](const UnheldStretch& s) { return s.records == 0; });
  std::sort(stretches.begin(), stretches.end(), [](const UnheldStretch& a, const UnheldStretch& b) {
    return a.from.offset() < b.from.offset();
  });
  std::vector<UnheldStretch> merged;
  for (UnheldStretch& s : stretches) {
    if (!merged.empty() && merged.back().end == s.from.offset()) {
      merged.back().end = s.end;
      merged.back().records += s.records;
    } else {
      merged.push_back(std::move(s));
    }
  }
  return merged;
}

}  // namespace

MaybeFailure InputFile::read(const ReadOptions& options, TableReading& reading) {
  return read(options, ReadingCuts{}, reading);
}

MaybeFailure InputFile::read(const ReadOptions& options, const ReadingCuts& cuts,
                             TableReading& reading) {
  // "-" is standard input, as /dev/stdin opens it; messages keep the name given.
  FileDescriptor file(::open(path == "-" ? "/dev/stdin" : path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) {
    Failure failure;
    failure.reason = "Unable to open file: " + printable(path);
    return failure;
  }
  try {
    struct stat info {};
    const bool regular = ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);
    if (regular) ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    std::string first_bytes = first_bytes_of(file.get(), regular);
    const Compression format = sniff_compression(first_bytes);
    const ReadingBudget budget = ReadingBudget::plan(options.memory_limit, options.cpus,
                                                     decoder_window(format, first_bytes));
    // A plain file holds at most a record for every 16 bytes (eight one-byte fields and their
    // separators), and each piece's holder rounds up to a chunk: no need to map more.
    std::uint64_t arena = budget.held;
    if (regular && format == Compression::none) {
      const auto size = static_cast<std::uint64_t>(info.st_size);
      const std::uint64_t pieces =
          cuts.piece_starts.empty() ? budget.threads : cuts.piece_starts.size() + 1;
      arena = std::min(arena,
                       size / 16 * RowArena::kMostRowBytes + (pieces + 2) * RowArena::kChunkBytes);
    }
    HeldRecords held;
    held.arena = std::make_unique<RowArena>(arena);
    LongWordRoom room(budget.word_room);
    Progress progress("reading '" + path + "'", Progress::Unit::bytes,
                      regular ? static_cast<std::uint64_t>(info.st_size) : 0);
    ReadingState state{file.get(),
                       regular,
                       regular ? static_cast<std::uint64_t>(info.st_size) : 0,
                       budget.threads,
                       budget.decoding,
                       *held.arena,
                       room,
                       progress,
                       {},
                       {},
                       {}};
    if (regular && format == Compression::none) {
      check_text(first_bytes);
      read_pieces(state, cuts.piece_starts);
    } else {
      // A regular file is decompressed from its start; a pipe's first bytes are already read.
      read_stream(state, format, regular ? std::string() : std::move(first_bytes),
                  cuts.block_size ? cuts.block_size : BlockStream::kBlock);
    }
    reading.ranges = state.total.ranges;
    reading.not_numbers = state.total.not_numbers;
    reading.threads = budget.threads;
    for (RowHolder& holder : state.holders) holder.hand_over(held.chunks);
    std::vector<UnheldStretch> stretches = merge_adjacent(std::move(state.total.unheld));
    std::optional<UnheldRecords> unheld;
    if (!stretches.empty()) {
      unheld =
          UnheldRecords{std::move(file),       format, std::move(stretches), info, budget.word_room,
                        budget.decoding.window};
    }
    reading.records = TableRecords(std::move(held), std::move(unheld), path);
    return std::nullopt;
  } catch (...) {
    return reading_failure(Failure::of_current_exception(), path);
  }
}

}  // namespace histchart
