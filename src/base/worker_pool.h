// Work spread over threads, and finished in order. Not the run's only parallel work: a block
// stream reads ahead on a thread of its own, a compressed table's parts may be decoded side by
// side, liblzma decodes on threads of its own, and the charts are drawn on several processes.
//
// Items are handed out one at a time by next_item() to whichever worker asks, worked on in
// parallel, and finished strictly in the order they were handed out, each as soon as the one
// before it is finished. That is the shape of the jobs that use it: pieces of a file read
// from a guess and joined in table order; blocks of a stream likewise; stretches read a second
// time; tasks of held records handed to the counting.
//
// An exception leaves run_in_order() as it would a loop on one thread: it is raised again on
// the calling thread once every worker has stopped. It belongs to the item whose work or finish
// raised it, or, raised by next_item(), to the place after the items handed out; the lowest
// place wins, so what the run reports never depends on which thread got there first. Once one
// is known no item is handed out, and the items after it are finished with `live` false, only
// to give back what they hold. Where a thread cannot start, fewer workers share the items: the
// calling thread is always one of them, and no worker ever waits for one that did not start.
#pragma once

#include <cstdint>
#include <exception>
#include <map>
#include <mutex>
#include <optional>
#include <type_traits>
#include <utility>
#include <vector>

#include "base/thread.h"

namespace histchart {

// next_item() -> std::optional<Item>, nothing after the last; called one call at a time.
// work(Item&, int worker): worker 0 is the calling thread, others 1 to threads - 1.
// finish(Item&, int worker, bool live): in item order, one at a time.
template <class NextItem, class Work, class Finish>
void run_in_order(int threads, NextItem next_item, Work work, Finish finish) {
  using Item = typename std::invoke_result_t<NextItem&>::value_type;
  struct Worked {
    Item item;
    bool ok;
  };
  std::mutex fetching;  // next_item() is called under it
  std::mutex mutex;     // guards what follows
  std::uint64_t handed_out = 0;
  bool exhausted = false;
  std::map<std::uint64_t, Worked> waiting;  // worked, waiting for their turn to finish
  std::uint64_t finished = 0;
  bool finishing = false;  // a worker is finishing items
  std::optional<std::pair<std::uint64_t, std::exception_ptr>> failure;

  // REQUIRES: called inside a catch block.
  auto fail = [&](std::uint64_t place) {
    std::lock_guard lock(mutex);
    if (!failure || place < failure->first) failure.emplace(place, std::current_exception());
  };
  auto failed_by = [&](std::uint64_t place) {
    std::lock_guard lock(mutex);
    return failure && failure->first <= place;
  };

  auto run = [&](int worker) {
    for (;;) {
      std::optional<Item> item;
      std::uint64_t place = 0;
      {
        std::lock_guard fetch(fetching);
        {
          std::lock_guard lock(mutex);
          if (exhausted || failure) return;
        }
        try {
          item = next_item();
        } catch (...) {
          fail(handed_out);
        }
        std::lock_guard lock(mutex);
        if (!item) {
          exhausted = true;
          return;
        }
        place = handed_out++;
      }
      bool ok = !failed_by(place);
      if (ok) {
        try {
          work(*item, worker);
        } catch (...) {
          fail(place);
          ok = false;
        }
      }
      std::unique_lock lock(mutex);
      waiting.emplace(place, Worked{std::move(*item), ok});
      if (finishing) continue;
      finishing = true;
      for (auto next = waiting.find(finished); next != waiting.end();
           next = waiting.find(finished)) {
        Worked turn = std::move(next->second);
        waiting.erase(next);
        const bool live = turn.ok && !(failure && failure->first <= finished);
        const std::uint64_t at = finished;
        lock.unlock();
        try {
          finish(turn.item, worker, live);
        } catch (...) {
          fail(at);
        }
        lock.lock();
        ++finished;
      }
      finishing = false;
    }
  };

  std::vector<Thread> helpers;
  helpers.reserve(static_cast<std::size_t>(threads > 1 ? threads - 1 : 0));
  for (int w = 1; w < threads; ++w) {
    Thread helper;
    if (!helper.start([&run, w] { run(w); })) break;
    helpers.push_back(std::move(helper));
  }
  run(0);
  for (Thread& helper : helpers) helper.join();
  // Every item handed out is finished by now: a worker deposits its item and looks for a
  // finisher under one lock, so no item waits once the last worker has left.
  if (failure) std::rethrow_exception(failure->second);
}

// Runs task(i, worker) for every i in [0, tasks) on up to `threads` workers.
template <class Task>
void for_each_task(std::size_t tasks, int threads, Task task) {
  std::size_t next = 0;
  run_in_order(
      threads,
      [&]() -> std::optional<std::size_t> {
        if (next == tasks) return std::nullopt;
        return next++;
      },
      [&](std::size_t i, int worker) { task(i, worker); }, [](std::size_t, int, bool) {});
}

}  // namespace histchart
