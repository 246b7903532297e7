#include "base/progress.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include <sys/ioctl.h>
#include <unistd.h>

#include "base/messages.h"

namespace histchart {

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

// What the line counts, after the phase's name.
std::string counts_text(Progress::Unit unit, std::uint64_t done, std::uint64_t total,
                        double seconds) {
  if (unit == Progress::Unit::charts) return std::to_string(done) + " of " + std::to_string(total);
  std::string text = size_text(static_cast<double>(done));
  if (total > 0) text += " of " + size_text(static_cast<double>(total));
  if (seconds > 0) text += ", " + size_text(static_cast<double>(done) / seconds) + "/s";
  return text;
}

// The terminal's width, read again for every line so that a resized window is followed.
int terminal_columns() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

// The first `bytes` bytes of `text` at most, not cutting a UTF-8 sequence.
std::string_view cut(std::string_view text, std::size_t bytes) {
  if (bytes >= text.size()) return text;
  while (bytes > 0 && (static_cast<unsigned char>(text[bytes]) & 0xc0) == 0x80) --bytes;
  return text.substr(0, bytes);
}

}  // namespace

std::string fitted_status_line(std::string_view what, std::string_view counts, int columns) {
  // A byte is a column at least (a wide character takes two, in three bytes or four), and the
  // last column is left free: some terminals wrap a line that fills it.
  const std::size_t room = columns > 1 ? static_cast<std::size_t>(columns) - 1 : 0;
  constexpr std::string_view kStart = "histchart: ";
  std::string line(kStart);
  line.append(what).append(": ").append(counts);
  if (line.size() <= room) return line;
  // The counts are what changes: the phase's name (a long path) gives way first.
  constexpr std::string_view kCut = "...";
  const std::size_t fixed = kStart.size() + kCut.size() + 2 + counts.size();
  if (fixed < room) {
    line.assign(kStart).append(cut(what, room - fixed)).append(kCut).append(": ").append(counts);
    return line;
  }
  return std::string(cut(line, room));
}

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
    show_status_line(fitted_status_line(what_, counts_text(unit_, *count_, total_, elapsed.count()),
                                        terminal_columns()));
  } while (!finished_.wait_for(lock, kRedraw, [&] { return stop_; }));
}

const std::atomic<std::uint64_t>* Progress::show(const std::atomic<std::uint64_t>* count) {
  std::lock_guard lock(mutex_);
  return std::exchange(count_, count);
}

Progress::ShownCounter::ShownCounter(Progress& progress, const std::atomic<std::uint64_t>& count)
    : progress_(progress), before_(progress.show(&count)) {}

Progress::ShownCounter::~ShownCounter() {
  // Once show() returns, the thread no longer reads `count`, which may then go.
  const std::atomic<std::uint64_t>* count = progress_.show(before_);
  progress_.done = count->load();
}

}  // namespace histchart
