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

inline constexpr std::size_t kRunOverhead = std::size_t{32} << 20;
// A decoding thread: its stack (liblzma's take the system's 8 MiB) and its buffers: a zstd
// window of up to 8 MiB (frames that need more go to the one decoder), or an xz block in and
// out and its dictionary, and the chunks it decodes ahead.
inline constexpr std::uint64_t kDecoderCost = std::uint64_t{32} << 20;

// The zstd window (or .lzma dictionary) the one decoder has in the overhead; a table that needs
// a larger one pays for it from the threads' share.
inline constexpr std::uint64_t kWindowInOverhead = std::uint64_t{8} << 20;

// The list of a compressed file's independent parts (kMostParts of about 64 bytes at most).
inline constexpr std::uint64_t kPartsCost = std::uint64_t{64} << 20;

// What decoding a compressed table on threads of its own may take: at most `most` threads at
// kDecoderCost each, within `memory`, which may also have to pay for the list of its parts.
struct DecodingThreads {
  // The threads affordable beside `other` bytes; 1 (one decoder, in order, on the reading's
  // own thread) where fewer than two are.
  int beside(std::uint64_t other) const;

  int most = 1;
  std::uint64_t memory = 0;
  // The largest zstd window or .lzma dictionary the one decoder may take.
  std::uint64_t window = kWindowInOverhead;
};

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
