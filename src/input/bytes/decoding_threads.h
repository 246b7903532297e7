// What decoding a compressed table may spend beside the reading: its threads and their memory.
#pragma once

#include <cstdint>

namespace histchart {

// A decoding thread: its stack (liblzma's take the system's 8 MiB) and its buffers: a zstd
// window of up to 8 MiB (frames that need more go to the one decoder), or an xz block in and
// out and its dictionary, and the buffers it decodes ahead.
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

}  // namespace histchart
