#include "chart/chart_processes.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <new>
#include <optional>
#include <string>
#include <string_view>

#include "base/files.h"
#include "base/progress.h"
#include "base/signals.h"
#include "chart/chart_file.h"
#include "chart/ending_signals.h"
#include "chart/helper_records.h"

namespace histchart {

namespace {

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
  PassCounters& operator*() const { return *counters_; }

 private:
  void* mapped_;
  PassCounters local_;
  PassCounters* counters_;
};

// A helper's whole life after fork(): it never returns.
[[noreturn]] void run_helper(int to_parent, PassCounters& counters,
                             const std::vector<std::string>& names, const ChartWork& work) {
  try {
    const int count = static_cast<int>(names.size());
    for (int i; (i = counters.next++) < count;) {
      const ChartOutcome outcome =
          work(i, [&](const std::string& temp) { write_all(to_parent, begin_record(i, temp)); });
      write_all(to_parent, end_record(i, outcome));
      ++counters.drawn;
    }
  } catch (...) {
    // Nothing may unwind into the caller's code, which is the run's. What is not sent is
    // reported by the parent as a chart whose process ended unexpectedly.
  }
  ::_exit(0);
}

struct Helper {
  pid_t pid;
  FileDescriptor from;  // the read end of its pipe
  int slot;
};

// Reads what a helper sends until it ends, and waits for it.
std::string finish(Helper& helper) {
  std::string bytes;
  char buffer[4096];  // records are short; under a small stack limit every frame counts
  for (;;) {
    const IoResult got = read_once(helper.from.get(), buffer, sizeof buffer);
    if (got.bytes == 0) break;
    try {
      bytes.append(buffer, got.bytes);
    } catch (const std::bad_alloc&) {
      // What does not fit is lost; its charts are reported unwritten.
    }
  }
  helper.from = FileDescriptor();
  InterruptsBlocked blocked;
  ::waitpid(helper.pid, nullptr, 0);
  set_chart_helper(helper.slot, 0);
  helper.pid = 0;
  return bytes;
}

// The helpers started, each waited for however this process leaves the pass.
class Helpers {
 public:
  ~Helpers() {
    for (Helper& helper : helpers_) {
      if (helper.pid > 0) finish(helper);
    }
  }
  std::vector<Helper>& all() { return helpers_; }

 private:
  std::vector<Helper> helpers_;
};

}  // namespace

std::vector<ChartOutcome> draw_in_processes(const std::vector<std::string>& names, int processes,
                                            const ChartWork& work) {
  const int count = static_cast<int>(names.size());
  // Declared before the progress line, which reads them until it ends.
  const SharedCounters counters;
  processes = counters.shared() ? std::clamp(processes, 1, std::min(count, kMaxChartProcesses)) : 1;
  Progress progress("drawing the charts", Progress::Unit::charts, static_cast<std::uint64_t>(count),
                    &counters->drawn);

  std::vector<std::optional<ChartOutcome>> outcomes(names.size());
  Helpers helpers;
  helpers.all().reserve(static_cast<std::size_t>(processes));
  const pid_t run = ::getpid();
  for (int slot = 1; slot < processes; ++slot) {
    int pipe_ends[2];
    if (::pipe2(pipe_ends, O_CLOEXEC) != 0) break;
    FileDescriptor from(pipe_ends[0]), to(pipe_ends[1]);
    pid_t pid;
    {
      InterruptsBlocked blocked;
      pid = ::fork();
      if (pid == 0) follow_run(run);
      if (pid > 0) set_chart_helper(slot, pid);
    }
    if (pid == 0) {
      // A helper needs only its write end: each descriptor it holds is one fewer for its chart
      // under `ulimit -n`.
      from = FileDescriptor();
      for (Helper& helper : helpers.all()) helper.from = FileDescriptor();
      run_helper(to.get(), *counters, names, work);
    }
    if (pid < 0) break;
    helpers.all().push_back({pid, std::move(from), slot});
  }

  for (int i; (i = counters->next++) < count;) {
    outcomes[i] = work(i, nullptr);
    ++counters->drawn;
  }
  for (Helper& helper : helpers.all()) take_records(finish(helper), outcomes);

  std::vector<ChartOutcome> result(names.size());
  for (std::size_t i = 0; i < names.size(); ++i) {
    if (outcomes[i]) {
      result[i] = std::move(*outcomes[i]);
      continue;
    }
    Failure died;
    died.what = "cannot write chart";
    died.subject = names[i];
    died.reason = "the process drawing it ended unexpectedly";
    died.status = kExitUnwritten;
    result[i].failure = std::move(died);
  }
  return result;
}

}  // namespace histchart
