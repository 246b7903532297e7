// One progress line on the terminal while a phase of the run takes its time.
//
// Only when standard error is a terminal, and only once a phase has run for about a second:
// the line is redrawn in place (carriage return, then erase to the end of the line) at most
// about ten times a second, cut to the terminal's width so that it never wraps (a wrapped line
// could not be erased in place), and erased before any message line and when the phase ends, so
// that the terminal keeps nothing but the run's messages. When standard error is not a
// terminal nothing changes at all: no thread, no byte more.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>

#include "base/thread.h"

namespace histchart {

// The line "histchart: WHAT: COUNTS" in fewer than `columns` columns: WHAT cut short with "..."
// first, then the whole line, never inside a UTF-8 sequence.
std::string fitted_status_line(std::string_view what, std::string_view counts, int columns);

class Progress {
 public:
  enum class Unit { bytes, charts };

  // `what`: the phase, as the line starts ("reading 'results.txt'"); `total`: what `done`
  // counts up to, 0 where unknown (a pipe). `count`, where given, is read in place of `done`.
  Progress(std::string what, Unit unit, std::uint64_t total,
           const std::atomic<std::uint64_t>* count = nullptr);
  ~Progress();
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;

  // How far the phase has come, in `unit`s; the work updates it as it goes.
  std::atomic<std::uint64_t> done{0};

  // For its lifetime, the line shows a counter that exists only for part of the phase (that
  // of a stream, kept on every read) in place of what it showed; then `done` takes its last
  // value. REQUIRES: `count` outlives it.
  class ShownCounter {
   public:
    ShownCounter(Progress& progress, const std::atomic<std::uint64_t>& count);
    ~ShownCounter();
    ShownCounter(const ShownCounter&) = delete;
    ShownCounter& operator=(const ShownCounter&) = delete;

   private:
    Progress& progress_;
    const std::atomic<std::uint64_t>* before_;
  };

 private:
  void run();
  // Returns the counter shown until now.
  const std::atomic<std::uint64_t>* show(const std::atomic<std::uint64_t>* count);

  std::string what_;
  Unit unit_;
  std::uint64_t total_;
  const std::atomic<std::uint64_t>* count_;  // read under mutex_, which show() holds too
  std::mutex mutex_;
  std::condition_variable finished_;
  bool stop_ = false;
  Thread thread_;
};

}  // namespace histchart
