#include "input/bytes/table_failure.h"

#include <algorithm>
#include <utility>

namespace histchart {

void cannot_read(std::string reason) {
  Failure failure;
  failure.what = "cannot read input table";
  failure.reason = std::move(reason);
  throw failure;
}

void cut_short(const char* format) {
  cannot_read(std::string("its ") + format + " data ends too early (a cut-short file?)");
}

void damaged(const char* format, std::string_view detail) {
  cannot_read(std::string("its ") + format + " data is damaged (" + std::string(detail) + ")");
}

void field_too_long(std::uint64_t bytes, bool whole, std::optional<std::uint64_t> line) {
  Failure failure;
  failure.what = "out of memory reading";
  // In whole megabytes, as a user sizes a field (a lower bound rounded down, to stay one); never
  // 0, which would read as no field at all.
  const std::uint64_t megabytes =
      std::max<std::uint64_t>(1, (bytes + (whole ? 500000 : 0)) / 1000000);
  failure.reason = std::string("a field of ") + (whole ? "" : "more than ") +
                   std::to_string(megabytes) + " MB" +
                   (line ? " on line " + std::to_string(*line) : std::string()) +
                   " is longer than the memory allows";
  throw failure;
}

void window_too_large(std::string_view window, std::uint64_t bytes) {
  Failure failure;
  failure.what = "out of memory reading";
  failure.reason = "its " + std::string(window) + " of " +
                   std::to_string((bytes >> 20) + (bytes % (1 << 20) != 0)) +
                   " MiB is more than the memory allows";
  throw failure;
}

// A stream that ended with bytes after it that start no further stream of its format. The
// formats' own tools warn and go on; a table that is not what it seems is refused here.
[[noreturn]] void trailing_data(const char* format) {
  cannot_read(std::string("it has data after its ") + format + " stream");
}

void does_not_fit() { throw Failure::out_of_memory(); }

void decoder_does_not_fit(const char* format) {
  Failure failure = Failure::out_of_memory();
  failure.kind = Failure::Kind::named_out_of_memory;
  failure.what = "out of memory reading";
  failure.reason =
      std::string("its ") + format + " decoder's buffers are more than the memory allows";
  throw failure;
}

Failure reading_failure(Failure failure, const std::string& path) {
  if (failure.kind == Failure::Kind::out_of_memory) {
    failure.what = "out of memory reading";
    failure.reason = "the table does not fit in memory";
    failure.status = kExitBadInput;
    failure.kind = Failure::Kind::named_out_of_memory;
  }
  if (failure.subject.empty() && !failure.what.empty()) failure.subject = path;
  return failure;
}

}  // namespace histchart
