#include "base/thread.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <fstream>

#include "base/signals.h"
#include "base/worker_pool.h"

using namespace histchart;

namespace {

// Under an address-space limit just above what the process maps, which leaves no room for a
// thread's stack: 0 where no thread started, none is left to join, and the work was all done.
int work_without_room_for_threads() {
  std::size_t pages = 0;
  std::ifstream("/proc/self/statm") >> pages;
  const rlim_t mapped = pages * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE));
  const rlimit limit{mapped + (64 << 10), RLIM_INFINITY};
  ::setrlimit(RLIMIT_AS, &limit);
  Thread thread;
  const bool started = thread.start([] {}) || thread.started();
  thread.join();
  std::atomic<int> done{0};
  for_each_task(100, 4, [&](std::size_t, int) { ++done; });
  return !started && done == 100 ? 0 : 1;
}

}  // namespace

TEST(Thread, StartsWithTheEndingSignalsBlocked) {
  // Their handler must run only on the main thread, which guards its windows.
  sigset_t seen;
  sigemptyset(&seen);
  Thread thread;
  ASSERT_TRUE(thread.start([&] { pthread_sigmask(SIG_BLOCK, nullptr, &seen); }));
  thread.join();
  for (const int s : kEndingSignals) EXPECT_EQ(sigismember(&seen, s), 1) << s;
  EXPECT_EQ(sigismember(&seen, helper_end_signal()), 1);
}

TEST(ThreadDeathTest, ThatCannotStartIsNotJoinedAndTheWorkGoesOnWithFewer) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the sanitizers map their own memory for every thread";
#endif
  // In a process of its own, where no stack of an ended thread is kept for reuse.
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(std::_Exit(work_without_room_for_threads()), testing::ExitedWithCode(0), "");
}
