// The failures of reading a table, raised where they are found and named at the reading's
// entry, which alone knows the table's path.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"

namespace histchart {

// Raises "cannot read input table 'PATH': REASON" (status 2).
[[noreturn]] void cannot_read(std::string reason);

// Raises that the compressed data of `format` ("gzip", "zstd", ...) ends too early, or is
// damaged as the decoder's `detail` says.
[[noreturn]] void cut_short(const char* format);
[[noreturn]] void damaged(const char* format, std::string_view detail);

// Raises that a field of `bytes` (at least) is longer than the room for words allows: "out of
// memory reading 'PATH': a field of N MB on line L is longer than the memory allows", without
// the line where it is not known, and "of more than N MB" where the field's end is not.
[[noreturn]] void field_too_long(std::uint64_t bytes, bool whole,
                                 std::optional<std::uint64_t> line);

// Raises "out of memory reading 'PATH': its WINDOW of N MiB is more than the memory allows"
// for a decoder whose `window` ("zstd window", "lzma dictionary") takes that many bytes (N
// rounded up).
[[noreturn]] void window_too_large(std::string_view window, std::uint64_t bytes);

// Raises "it has data after its FORMAT stream": bytes after a stream that start no further
// stream of its format. The formats' own tools warn and go on; a table that is not what it
// seems is refused here.
[[noreturn]] void trailing_data(const char* format);

// Raises the table's not fitting in what the run may hold, as an allocation failure.
[[noreturn]] void does_not_fit();

// Raises "out of memory reading 'PATH': its FORMAT decoder's buffers are more than the memory
// allows": the decoder of a compressed table, or the blocks it decodes into, could not have
// their memory ("gzip", "zstd", ...). An allocation failure still, which the counting may lay
// to its bins.
[[noreturn]] void decoder_does_not_fit(const char* format);

// `failure` as the reading of `path` reports it: an allocation failure that nothing named,
// wherever it came from, is "out of memory reading 'PATH': the table does not fit in memory".
Failure reading_failure(Failure failure, const std::string& path);

}  // namespace histchart
