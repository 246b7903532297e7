#include "input/holding/reading_budget.h"

#include <algorithm>

#include "base/thread.h"
#include "input/bytes/file_stretch.h"

namespace histchart {

namespace {

// A reading thread: its stack, its read buffer, the blocks of a stream it parses (two each)
// and its counters for the bins.
constexpr std::uint64_t kThreadCost = kThreadStack + 4 * kReadBuffer;

}  // namespace

ReadingBudget ReadingBudget::plan(std::size_t memory_limit, int cpus, std::uint64_t window) {
  ReadingBudget budget;
  if (memory_limit == kNoMemoryLimit) {
    budget.held = kNoMemoryLimit;
    budget.word_room = kNoMemoryLimit / 8;
    budget.threads = cpus;
    budget.decoding = {cpus, kNoMemoryLimit, UINT64_MAX};
    return budget;
  }
  const std::uint64_t rest = memory_limit > kRunOverhead ? memory_limit - kRunOverhead : 0;
  // A quarter for threads: two already under a limit of 64 MiB.
  std::uint64_t for_threads = rest / 4;
  budget.word_room = static_cast<std::size_t>(rest / 8);
  budget.held = rest - budget.word_room - for_threads;
  if (window > kWindowInOverhead && window <= for_threads) {
    for_threads -= window;
    budget.decoding.window = window;
  }
  // The calling thread is paid for in the overhead.
  budget.threads = static_cast<int>(std::clamp<std::uint64_t>(1 + for_threads / kThreadCost, 1,
                                                              static_cast<std::uint64_t>(cpus)));
  budget.decoding.most = cpus;
  budget.decoding.memory =
      for_threads - static_cast<std::uint64_t>(budget.threads - 1) * kThreadCost;
  return budget;
}

}  // namespace histchart
