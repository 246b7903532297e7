#include "base/thread.h"

#include <gtest/gtest.h>

#include <signal.h>

#include "base/signals.h"

TEST(Thread, StartsWithTheEndingSignalsBlocked) {
  // The handler must run only on the thread that guards its windows, whatever the mask of the
  // thread that starts another.
  sigset_t none;
  sigemptyset(&none);
  sigset_t before;
  pthread_sigmask(SIG_SETMASK, &none, &before);
  sigset_t seen;
  sigemptyset(&seen);
  Thread thread;
  ASSERT_TRUE(thread.start([&] { pthread_sigmask(SIG_BLOCK, nullptr, &seen); }));
  thread.join();
  sigset_t after;
  pthread_sigmask(SIG_SETMASK, &before, &after);
  for (const int s : kEndingSignals) {
    EXPECT_EQ(sigismember(&seen, s), 1) << s;
    EXPECT_EQ(sigismember(&after, s), 0) << s;  // the starting thread's mask is its own again
  }
  EXPECT_EQ(sigismember(&seen, helper_end_signal()), 1);
}
