// A thread of the run: started with a stack sized for what the run's threads do, and allowed
// not to start.
//
// Under an address-space limit (ulimit -v, a batch scheduler's h_vmem) a thread's stack counts
// in full; std::thread takes the 8 MiB default of `ulimit -s`, a hundred times what a reading
// thread uses. And where a thread cannot start, the work goes on with fewer (the caller's own
// thread at least), so start() reports it rather than throwing.
//
// Every thread started here has the ending signals blocked (see signals.h) for its whole life.
#pragma once

#include <cstddef>
#include <functional>
#include <memory>

#include <pthread.h>

namespace histchart {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr std::size_t kThreadStack = std::size_t{2} << 20;  // the sanitizers' frames
#else
inline constexpr std::size_t kThreadStack = std::size_t{512} << 10;
#endif

class Thread {
 public:
  Thread() = default;
  Thread(Thread&& other) noexcept;
  Thread& operator=(Thread&&) = delete;
  Thread(const Thread&) = delete;
  ~Thread() { join(); }

  // Runs `body` on a new thread. False, and `body` never runs, where no thread can be had.
  // REQUIRES: body does not throw; no thread is running.
  bool start(std::function<void()> body);
  // Waits for the thread, where one was started.
  void join();
  bool started() const { return body_ != nullptr; }

 private:
  pthread_t id_{};
  std::unique_ptr<std::function<void()>> body_;
};

}  // namespace histchart
