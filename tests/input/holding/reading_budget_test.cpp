#include "input/holding/reading_budget.h"

#include <gtest/gtest.h>

#include <cstdint>

using namespace histchart;

// Decoders side by side only as far as the memory limit's share for threads pays for them,
// once a large zstd window or .lzma dictionary (paid first, whatever the cores), the reading
// threads and the list of parts are paid for.
TEST(ReadingBudget, LeavesDecodingThreadsAfterTheReadingThreadsAndTheListOfParts) {
  constexpr std::uint64_t kMiB = 1 << 20;
  const struct {
    std::size_t limit;
    int cpus;
    std::uint64_t mapped;
    int threads;
    std::uint64_t window = 0, taken = 8 * kMiB;
  } cases[] = {
      {kNoMemoryLimit, 4, kMiB << 20, 4, kMiB << 30, UINT64_MAX},
      {64 * kMiB, 2, 0, 1},
      {kRunOverhead + 1024 * kMiB, 1, 0, 1},  // a quarter: 256 MiB
      {kRunOverhead + 1024 * kMiB, 4, 0, 4},  // three reading threads take 13.5 MiB of it
      {kRunOverhead + 1024 * kMiB, 4, 170 * kMiB, 2},
      {kRunOverhead + 1024 * kMiB, 4, 185 * kMiB, 1},  // 71 MiB, less what the threads take
      {kRunOverhead + 1024 * kMiB, 4, 0, 1, 200 * kMiB, 200 * kMiB},
      {kRunOverhead + 1024 * kMiB, 2, 0, 2, 257 * kMiB},
      {kRunOverhead + 256 * kMiB, 4, kPartsCost, 1},
  };
  for (const auto& c : cases) {
    const DecodingThreads decoding = ReadingBudget::plan(c.limit, c.cpus, c.window).decoding;
    EXPECT_EQ(decoding.beside(c.mapped), c.threads) << c.limit << " " << c.cpus << " " << c.mapped;
    EXPECT_EQ(decoding.window, c.taken) << c.window;
  }
}
