// A table that arrives in order (a pipe, or any compressed table), read in blocks.
//
// A thread reads and decompresses ahead (BlockStream). On one thread the blocks are read in
// order; on more, each block is read on a worker from a guess, like a piece of a file, and
// joined in order as soon as the block before it is (guess_join.h).
#pragma once

#include <cstddef>
#include <string>

#include "input/bytes/byte_source.h"
#include "input/reading_state.h"

namespace histchart {

// Reads the table from `state.fd`, after `first_bytes` already read from it (a pipe's, to tell
// its format by). `block_size`: of the blocks the stream is cut into.
void read_stream(ReadingState& state, Compression format, std::string first_bytes,
                 std::size_t block_size);

}  // namespace histchart
