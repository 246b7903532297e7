#include "base/progress.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include <unistd.h>

#include "base/messages.h"

namespace {

constexpr auto kQuiet = std::chrono::seconds(1);          // a phase shorter than this shows none
constexpr auto kRedraw = std::chrono::milliseconds(100);  // at most ten lines a second

std::string size_text(double bytes) {
  char text[32];
  if (bytes >= 1e9) {
    std::snprintf(text, sizeof text, "%.1f GB", bytes / 1e9);
  } else if (bytes >= 1e6) {
    std::snprintf(text, sizeof text, "%.0f MB", bytes / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.0f kB", bytes / 1e3);
  }
  return text;
}

std::string progress_text(const std::string& what, Progress::Unit unit, std::uint64_t done,
                          std::uint64_t total, double seconds) {
  std::string text = "histchart: " + what + ": ";
  if (unit == Progress::Unit::charts) {
    return text + std::to_string(done) + " of " + std::to_string(total);
  }
  text += size_text(static_cast<double>(done));
  if (total > 0) text += " of " + size_text(static_cast<double>(total));
  if (seconds > 0) text += ", " + size_text(static_cast<double>(done) / seconds) + "/s";
  return text;
}

}  // namespace

Progress::Progress(std::string what, Unit unit, std::uint64_t total,
                   const std::atomic<std::uint64_t>* count)
    : what_(printable(what)), unit_(unit), total_(total), count_(count ? count : &done) {
  if (!::isatty(STDERR_FILENO)) return;
  // Where no thread can start there is no progress line; the run itself does not need one.
  thread_.start([this] { run(); });
}

Progress::~Progress() {
  if (!thread_.started()) return;
  {
    std::lock_guard lock(mutex_);
    stop_ = true;
  }
  finished_.notify_all();
  thread_.join();
  erase_status_line();
}

void Progress::run() {
  const auto start = std::chrono::steady_clock::now();
  std::unique_lock lock(mutex_);
  if (finished_.wait_for(lock, kQuiet, [&] { return stop_; })) return;
  do {
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    show_status_line(progress_text(what_, unit_, *count_, total_, elapsed.count()));
  } while (!finished_.wait_for(lock, kRedraw, [&] { return stop_; }));
}

const std::atomic<std::uint64_t>* Progress::show(const std::atomic<std::uint64_t>* count) {
  std::lock_guard lock(mutex_);
  return std::exchange(count_, count);
}

Progress::Following::Following(Progress& progress, const std::atomic<std::uint64_t>& count)
    : progress_(progress), before_(progress.show(&count)) {}

Progress::Following::~Following() {
  // Once show() returns, the thread no longer reads `count`, which may then go.
  const std::atomic<std::uint64_t>* count = progress_.show(before_);
  progress_.done = count->load();
}
