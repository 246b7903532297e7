// How a run's memory limit is shared out for reading the table.
//
// The limit covers all that the run maps: besides the held values, what the run needs in any
// case (the libraries' own allocations, the font, the images: kRunOverhead), the room for one
// long word, and what each reading thread costs (its stack, its read buffer, the blocks it
// parses). Each share is a fixed part of the limit, so that whether a table is held, read
// twice or refused depends on the limit and the table alone, never on the number of cores: a
// tighter limit leaves fewer threads, not a different outcome.
#pragma once

#include <cstddef>
#include <cstdint>

#include "base/run_limits.h"
#include "input/bytes/decoding_threads.h"

namespace histchart {

inline constexpr std::size_t kRunOverhead = std::size_t{32} << 20;
struct ReadingBudget {
  // `window`: what the table's decoder needs for past bytes (decoder_window). One larger than the
  // overhead's is paid for first from the threads' share, where that holds it: the threads
  // are what is left, and whether it is read never depends on the number of cores.
  // REQUIRES: cpus >= 1.
  static ReadingBudget plan(std::size_t memory_limit, int cpus, std::uint64_t window = 0);

  std::uint64_t held = 0;     // for the records held in memory
  std::size_t word_room = 0;  // for one word longer than a read buffer
  int threads = 1;            // the reading threads the rest affords, the calling one included
  // Threads that decode a compressed table's independent parts side by side, paid for from
  // what the reading threads leave of their share.
  DecodingThreads decoding;
};

}  // namespace histchart
