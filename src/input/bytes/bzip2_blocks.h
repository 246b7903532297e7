// The blocks of a bzip2 file, decoded side by side. Each block is compressed on its own, and
// starts with a 48-bit magic number at any bit; it is decoded as a stream of its own: the
// stream's header, the block's bits, and an end whose checksum is the block's. The stream's
// own checksum, over its blocks' ones, is checked before any is decoded.
//
// The magic number can also occur inside a block's compressed bits: a block cut there fails
// its decoding or its checksum, and one decoder in order reads the file again.
#pragma once

#include <cstdint>
#include <memory>

#include "input/bytes/side_by_side.h"

namespace histchart {

// The blocks of the regular file `fd` of `size` bytes; nullptr where it has fewer than two or
// more than kMostParts, or is not laid out as bzip2 streams (a damaged or cut-short file, or
// data after a stream, which one decoder in order reports).
std::unique_ptr<SideBySide> bzip2_blocks(int fd, std::uint64_t size, int threads);

}  // namespace histchart
