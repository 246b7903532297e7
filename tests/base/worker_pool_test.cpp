#include "base/worker_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "base/failure.h"

using namespace histchart;

namespace {

// What a run raised, as its entry would report it.
template <class Run>
MaybeFailure failure_of(Run run) {
  try {
    run();
  } catch (...) {
    return Failure::of_current_exception();
  }
  return std::nullopt;
}

}  // namespace

TEST(WorkerPool, FinishesInOrderAndReportsTheLowestFailureWhateverTheTiming) {
  // Items that fail in their work or their finish, late ones done first: the failure of the
  // lowest place wins, on one thread or many, and every item handed out is finished (live or
  // not) so that what it holds can go back. next_item() fails after the last item: that loses
  // to the others, and is reported where nothing else fails.
  for (const bool items_fail : {true, false}) {
    for (int threads : {1, 2, 4, 8}) {
      for (int round = 0; round < (items_fail ? 20 : 2); ++round) {
        std::vector<int> finished;
        std::atomic<int> handed{0};
        int next = 0;
        const MaybeFailure failure = failure_of([&] {
          run_in_order(
              threads,
              [&]() -> std::optional<int> {
                if (next == 40) throw std::bad_alloc();
                ++handed;
                return next++;
              },
              [&](int i, int) {
                std::this_thread::sleep_for(std::chrono::microseconds((40 - i) * 20));
                if (items_fail && (i == 23 || i == 31))
                  throw Failure{Failure::Kind::stated, "w", "", std::to_string(i)};
              },
              [&](int i, int, bool live) {
                finished.push_back(live ? i : -i);
                if (items_fail && live && i == 17)
                  throw Failure{Failure::Kind::stated, "f", "", "17"};
              });
        });
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->kind, items_fail ? Failure::Kind::stated : Failure::Kind::out_of_memory);
        if (items_fail) {
          EXPECT_EQ(failure->reason, "17");
        }
        const int live = items_fail ? 18 : 40;
        ASSERT_EQ(static_cast<int>(finished.size()), handed.load());
        for (int i = 0; i < live; ++i) EXPECT_EQ(finished[i], i);
        for (std::size_t i = live; i < finished.size(); ++i) EXPECT_LE(finished[i], 0);
      }
    }
  }
}
