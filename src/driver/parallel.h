// Work spread over threads: the one way the run uses more than one core.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

// Runs task(i, worker) for every i in [0, tasks), on up to `threads` workers (the calling
// thread is worker 0), each taking the next task as it finishes one. Returns when all are
// done. Where a thread cannot start (its stack under an address-space limit), fewer workers
// share the tasks. The exception of the lowest-numbered task that failed is rethrown, so that
// what the run reports never depends on which thread got there first.
template <class Task>
void for_each_task(std::size_t tasks, int threads, Task task) {
  std::vector<std::exception_ptr> failures(tasks);
  std::atomic<std::size_t> next{0};
  auto work = [&](int worker) {
    for (std::size_t i; (i = next++) < tasks;) {
      try {
        task(i, worker);
      } catch (...) {
        failures[i] = std::current_exception();
      }
    }
  };
  std::vector<std::thread> helpers;
  const auto wanted = static_cast<std::size_t>(std::max(1, threads));
  for (std::size_t w = 1; w < std::min(wanted, tasks); ++w) {
    try {
      helpers.emplace_back(work, static_cast<int>(w));
    } catch (const std::system_error&) {
      break;
    }
  }
  work(0);
  for (std::thread& t : helpers) t.join();
  for (const std::exception_ptr& failure : failures) {
    if (failure) std::rethrow_exception(failure);
  }
}
