#include "base/thread.h"

#include <gtest/gtest.h>

#include <signal.h>

#include "base/signals.h"

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
