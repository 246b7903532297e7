#include "input/table_failure.h"

#include <utility>

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

void window_too_large(std::string_view window, std::uint64_t bytes) {
  Failure failure;
  failure.what = "out of memory reading";
  failure.reason = "its " + std::string(window) + " of " +
                   std::to_string((bytes >> 20) + (bytes % (1 << 20) != 0)) +
                   " MiB is more than the memory allows";
  throw failure;
}

void does_not_fit() { throw Failure::out_of_memory(); }

Failure reading_failure(Failure failure, const std::string& path) {
  if (failure.kind == Failure::Kind::out_of_memory) {
    failure.what = "out of memory reading";
    failure.reason = "the table does not fit in memory";
    failure.status = kExitBadInput;
  }
  if (failure.subject.empty() && !failure.what.empty()) failure.subject = path;
  return failure;
}
