#include "input/input_file.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "driver/histogram_job.h"
#include "driver/messages.h"

namespace {

[[noreturn]] void read_error(const std::string& path, const char* reason) {
  throw diagnostic("cannot read input table", path, reason);
}

// Hands the file, from its current offset to its end, to feed(chunk, offset_of_chunk) in
// chunks cut after white space, so that no word is split between two chunks.
template <class Feed>
void stream_chunks(int fd, const std::string& path, std::uint64_t offset, Feed feed) {
  // One reused buffer: the table streams through it whatever its size. It grows only for a
  // word longer than itself.
  std::vector<char> buffer(std::size_t{1} << 20);
  std::size_t have = 0;
  for (;;) {
    const ssize_t got = ::read(fd, buffer.data() + have, buffer.size() - have);
    if (got < 0) {
      if (errno == EINTR) continue;
      read_error(path, std::strerror(errno));
    }
    have += static_cast<std::size_t>(got);
    if (got == 0) {
      feed(std::string_view(buffer.data(), have), offset);
      return;
    }
    const std::size_t whole = TableScanner::whole_words({buffer.data(), have});
    if (whole == 0) {
      if (have == buffer.size()) buffer.resize(buffer.size() * 2);
      continue;
    }
    feed(std::string_view(buffer.data(), whole), offset);
    offset += whole;
    std::memmove(buffer.data(), buffer.data() + whole, have - whole);
    have -= whole;
  }
}

// Reserves room for `rows` values in every series, or for as many as the system will lend.
// A reservation costs address space, not memory (see Values), but an address-space limit or
// strict overcommit may still refuse it.
std::size_t reserve_rows(SeriesTable& series, std::size_t rows) {
  for (;; rows /= 2) {
    try {
      for (Series& s : series) s.values.reserve(rows);
      return rows;
    } catch (const std::bad_alloc&) {
      for (Series& s : series) Values().swap(s.values);
    }
  }
}

}  // namespace

FileDescriptor::~FileDescriptor() {
  if (fd_ >= 0) ::close(fd_);
}

bool InputFile::read(SeriesTable& series) {
  FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw "Unable to open file: " + path;
  ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
  struct stat info {};
  const bool regular = ::fstat(file.get(), &info) == 0 && S_ISREG(info.st_mode);

  const std::size_t for_values = memory_limit > kRunOverhead ? memory_limit - kRunOverhead : 0;
  std::size_t rows = for_values / (SeriesTable::kSize * sizeof(double));
  // A record takes at least 16 bytes (eight fields and their separators), which bounds the
  // records of a file; reserving for that many spares the arrays every regrowth and copy.
  if (regular) rows = std::min(rows, static_cast<std::size_t>(info.st_size) / 16 + 1);
  rows = reserve_rows(series, rows);
  std::optional<FaultAhead> fault_ahead;
  if (rows * sizeof(double) >= big_memory::kThreshold) {
    std::vector<double*> arrays;
    for (Series& s : series) arrays.push_back(s.values.data());
    fault_ahead.emplace(std::move(arrays), rows);
  }

  TableScanner scanner;
  std::optional<UnheldRecords> rest;
  auto stop_holding = [&](std::uint64_t offset) {
    if (regular) rest = UnheldRecords{FileDescriptor(), offset, scanner, 0};
  };
  std::size_t held = 0;
  auto hold = [&](const TableScanner::Record& record) {
    for (int i = 0; i < SeriesTable::kSize; ++i) {
      series[i].values.push_back(record[i]);
      series[i].range.add(record[i]);
    }
    return ++held < rows;
  };
  auto measure = [&](const TableScanner::Record& record) {
    if (!rest) throw diagnostic("out of memory reading", path, "the table does not fit in memory");
    for (int i = 0; i < SeriesTable::kSize; ++i) series[i].range.add(record[i]);
    ++rest->records;
    return true;
  };
  if (rows == 0) stop_holding(0);
  stream_chunks(file.get(), path, 0, [&](std::string_view chunk, std::uint64_t offset) {
    std::size_t done = 0;
    if (held < rows) {
      done = scanner.scan(chunk, hold);
      if (fault_ahead) fault_ahead->advance(held);
      if (held == rows) stop_holding(offset + done);
    }
    if (held == rows) scanner.scan(chunk.substr(done), measure);
  });
  if (rest && rest->records > 0) {
    rest->file = std::move(file);
    unheld = std::move(rest);
  }
  header1 = scanner.headers()[0];
  header2 = scanner.headers()[1];
  header3 = scanner.headers()[2];
  return true;
}

void count_unheld(UnheldRecords& rest, const std::string& path, std::vector<BinCounter>& counters) {
  if (::lseek(rest.file.get(), static_cast<off_t>(rest.offset), SEEK_SET) < 0) {
    read_error(path, std::strerror(errno));
  }
  std::uint64_t records = 0;
  auto count = [&](const TableScanner::Record& record) {
    for (int i = 0; i < SeriesTable::kSize; ++i) counters[i].add(record[i]);
    ++records;
    return true;
  };
  stream_chunks(rest.file.get(), path, rest.offset,
                [&](std::string_view chunk, std::uint64_t) { rest.scanner.scan(chunk, count); });
  const bool same =
      records == rest.records && std::all_of(counters.begin(), counters.end(),
                                             [](const BinCounter& c) { return c.complete(); });
  if (!same) read_error(path, "it changed while it was read");
}

void HistogramJob::read_data() {
  InputFile reader(input_file);
  reader.memory_limit = memory_limit;
  reader.read(series);
  unheld = std::move(reader.unheld);
}
