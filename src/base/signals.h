// The signals that end a run, and blocking them.
//
// A run catches every signal whose default action ends the process, so that it can remove its
// temporary files before it ends by that signal. The handler may run only in a thread that
// guards its windows (a file made and not yet named for the handler, a helper started and not
// yet recorded): the main thread. Every other thread the run starts has them blocked from the
// start (see Thread). SIGKILL cannot be caught; SIGXFSZ is ignored instead, so that a write past
// the file size limit fails as a write.
#pragma once

#include <signal.h>

namespace histchart {

inline constexpr int kEndingSignals[] = {SIGINT,  SIGTERM, SIGHUP,  SIGQUIT,   SIGPIPE, SIGALRM,
                                         SIGUSR1, SIGUSR2, SIGXCPU, SIGVTALRM, SIGPROF};

// The signal a chart helper process gets when its run ends, however it ends: one no user sends
// and none ignores, so that it always reaches the helper's handler.
int helper_end_signal();

// Blocks the ending signals and the helper's signal in the calling thread for its lifetime.
class InterruptsBlocked {
 public:
  InterruptsBlocked();
  ~InterruptsBlocked();
  InterruptsBlocked(const InterruptsBlocked&) = delete;
  InterruptsBlocked& operator=(const InterruptsBlocked&) = delete;

 private:
  sigset_t old_;
};

}  // namespace histchart
