#include "base/thread.h"

#include <new>
#include <utility>

#include "base/signals.h"

namespace histchart {

namespace {

void* run_body(void* body) {
  (*static_cast<std::function<void()>*>(body))();
  return nullptr;
}

}  // namespace

Thread::Thread(Thread&& other) noexcept : id_(other.id_), body_(std::move(other.body_)) {}

bool Thread::start(std::function<void()> body) {
  try {
    body_ = std::make_unique<std::function<void()>>(std::move(body));
  } catch (const std::bad_alloc&) {
    return false;
  }
  pthread_attr_t attributes;
  bool started = pthread_attr_init(&attributes) == 0;
  if (started) {
    pthread_attr_setstacksize(&attributes, kThreadStack);
    // A thread starts with its creator's mask: blocked here, the ending signals stay blocked in
    // it for good, and their handler runs only on the main thread, which guards its windows.
    InterruptsBlocked blocked;
    started = pthread_create(&id_, &attributes, run_body, body_.get()) == 0;
    pthread_attr_destroy(&attributes);
  }
  if (!started) body_.reset();
  return started;
}

void Thread::join() {
  if (!body_) return;
  pthread_join(id_, nullptr);
  body_.reset();
}

}  // namespace histchart
