// The frames of a zstd file (pzstd writes several, and so does concatenating zstd outputs),
// decoded side by side: each frame is independent, and where it ends follows from its header
// and its blocks' headers.
#pragma once

#include <cstdint>
#include <memory>

#include "input/bytes/side_by_side.h"

namespace histchart {

// The frames of the regular file `fd` of `size` bytes, from its start, skippable ones passed
// over; nullptr where it has fewer than two or more than kMostParts, one needs a window larger
// than kWindowInOverhead, or they cannot all be told apart (a damaged or cut-short file, which
// one decoder in order then reports).
std::unique_ptr<SideBySide> zstd_frames(int fd, std::uint64_t size, int threads);

}  // namespace histchart
