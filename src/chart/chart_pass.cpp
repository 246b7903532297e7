// The chart pass: the seven charts, each drawn and written whole, on as many processes as the
// run has cores (at most seven). GD holds one lock across every text it draws, for the whole
// process, so threads would draw the text one at a time; processes each have their own.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_file.h"
#include "chart/chart_layout.h"
#include "chart/chart_render.h"
#include "driver/histogram_job.h"
#include "driver/messages.h"
#include "driver/progress.h"

namespace {

// GD reports JPEG write failures through its error method as well as through the stream; the
// stream is what we check, so the library's own line is kept off standard error.
void quiet(int, const char*, va_list) {}

struct ChartOutcome {
  bool written = false;
  std::vector<std::string> lines;  // its messages, in the order they arose
};

// Shared by the processes of a pass: which chart is next, and how many are drawn.
struct PassCounters {
  std::atomic<int> next{0};
  std::atomic<std::uint64_t> drawn{0};
};

// The counters, in memory that the helper processes share with this one; in this process's
// own where no such memory can be had (then no helper is started).
class SharedCounters {
 public:
  SharedCounters()
      : mapped_(::mmap(nullptr, sizeof(PassCounters), PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0)),
        counters_(shared() ? new (mapped_) PassCounters : &local_) {}
  ~SharedCounters() {
    if (!shared()) return;
    counters_->~PassCounters();
    ::munmap(mapped_, sizeof(PassCounters));
  }
  SharedCounters(const SharedCounters&) = delete;
  SharedCounters& operator=(const SharedCounters&) = delete;

  bool shared() const { return mapped_ != MAP_FAILED; }
  PassCounters* operator->() const { return counters_; }

 private:
  void* mapped_;
  PassCounters local_;
  PassCounters* counters_;
};

// What a helper process sends back, chart by chart: its index, whether it was written and its
// messages, each as a 32-bit length and the bytes.
void put(std::string& out, std::string_view bytes) {
  const auto size = static_cast<std::uint32_t>(bytes.size());
  out.append(reinterpret_cast<const char*>(&size), sizeof size).append(bytes);
}

std::string encode(int index, const ChartOutcome& outcome) {
  std::string out;
  put(out, std::to_string(index) + (outcome.written ? " 1" : " 0"));
  put(out, std::to_string(outcome.lines.size()));
  for (const std::string& line : outcome.lines) put(out, line);
  return out;
}

// Decodes what a helper sent; a record cut short (the helper died) is left out.
void decode(std::string_view in, std::vector<std::optional<ChartOutcome>>& outcomes) {
  auto take = [&](std::string& field) {
    std::uint32_t size = 0;
    if (in.size() < sizeof size) return false;
    std::memcpy(&size, in.data(), sizeof size);
    if (in.size() - sizeof size < size) return false;
    field.assign(in.substr(sizeof size, size));
    in.remove_prefix(sizeof size + size);
    return true;
  };
  for (std::string head, count; take(head) && take(count);) {
    ChartOutcome outcome;
    outcome.written = head.ends_with(" 1");
    outcome.lines.resize(std::stoul(count));
    for (std::string& line : outcome.lines) {
      if (!take(line)) return;
    }
    const auto index = static_cast<std::size_t>(std::stoul(head));
    if (index < outcomes.size()) outcomes[index] = std::move(outcome);
  }
}

std::string read_all(int fd) {
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) return bytes;
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

void write_all(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
}

}  // namespace

bool HistogramJob::write_chart(int index) {
  const Series& s = series[index];
  const std::string& name = output_names[s.index];
  ChartFile file(name);
  bool written = file.open();
  if (written) {
    gdImagePtr image = gdImageCreate(kImageWidth, kImageHeight);
    if (image) {
      draw_chart(image, s);
      errno = 0;
      gdSetErrorMethod(quiet);
      gdImageJpeg(image, file.stream(), -1);
      gdClearErrorMethod();
      gdImageDestroy(image);
      written = file.commit();
    } else {
      written = false;
    }
  }
  if (!written) {
    chart_messages.push_back(diagnostic("cannot write chart", name,
                                        file.error().empty() ? "out of memory" : file.error()));
  }
  return written;
}

void HistogramJob::draw_histograms() {
  FontCache fonts;
  // Declared before the progress line, which reads them until it ends.
  const SharedCounters counters;
  const int processes = counters.shared() ? std::clamp(threads, 1, SeriesTable::kSize) : 1;
  Progress progress("drawing the charts", Progress::Unit::charts, SeriesTable::kSize,
                    &counters->drawn);

  std::vector<std::optional<ChartOutcome>> outcomes(SeriesTable::kSize);
  auto draw_taken = [&](auto&& done) {
    for (int i; (i = counters->next++) < SeriesTable::kSize;) {
      chart_messages.clear();
      ChartOutcome outcome;
      outcome.written = write_chart(i);
      outcome.lines = std::move(chart_messages);
      done(i, outcome);
      ++counters->drawn;
    }
  };

  struct Helper {
    pid_t pid;
    int from;  // the read end of its pipe
    int slot;
  };
  std::vector<Helper> helpers;
  for (int slot = 1; slot < processes; ++slot) {
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) break;
    pid_t pid;
    {
      InterruptsBlocked blocked;
      pid = ::fork();
      if (pid > 0) set_chart_helper(slot, pid);
      // A helper has no helpers of its own: the slots it inherited are its siblings'.
      if (pid == 0) {
        for (int s = 1; s < kMaxChartProcesses; ++s) set_chart_helper(s, 0);
      }
    }
    if (pid == 0) {
      ::close(pipe_ends[0]);
      std::string sent;
      draw_taken([&](int i, const ChartOutcome& outcome) { sent += encode(i, outcome); });
      write_all(pipe_ends[1], sent);
      // Nothing of this process's state is this helper's to clean up.
      ::_exit(0);
    }
    ::close(pipe_ends[1]);
    if (pid < 0) {
      ::close(pipe_ends[0]);
      break;
    }
    helpers.push_back({pid, pipe_ends[0], slot});
  }
  draw_taken([&](int i, ChartOutcome& outcome) { outcomes[i] = std::move(outcome); });
  for (const Helper& helper : helpers) {
    decode(read_all(helper.from), outcomes);
    ::close(helper.from);
    InterruptsBlocked blocked;
    ::waitpid(helper.pid, nullptr, 0);
    set_chart_helper(helper.slot, 0);
  }

  // The messages in chart order, as one process drawing the charts one after another gives them.
  for (int i = 0; i < SeriesTable::kSize; ++i) {
    if (!outcomes[i]) {
      outcomes[i] = ChartOutcome{false,
                                 {diagnostic("cannot write chart", output_names[i],
                                             "the process drawing it ended unexpectedly")}};
    }
    for (const std::string& line : outcomes[i]->lines) print_line(line);
    if (!outcomes[i]->written) ++unwritten_charts;
  }
}
