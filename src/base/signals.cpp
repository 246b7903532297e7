#include "base/signals.h"

#include <pthread.h>

namespace histchart {

int helper_end_signal() { return SIGRTMIN; }

InterruptsBlocked::InterruptsBlocked() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kEndingSignals) sigaddset(&set, s);
  sigaddset(&set, helper_end_signal());
  // The calling thread's mask alone: the process's other threads have these blocked already.
  pthread_sigmask(SIG_BLOCK, &set, &old_);
}

InterruptsBlocked::~InterruptsBlocked() { pthread_sigmask(SIG_SETMASK, &old_, nullptr); }

}  // namespace histchart
