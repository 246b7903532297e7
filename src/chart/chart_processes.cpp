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

// What a helper sends back, record by record, each field a 32-bit length and its bytes:
//   "begin" INDEX TEMP_NAME                     once the chart's temporary file exists
//   "end" INDEX N MESSAGE... FAILED [WHAT SUBJECT REASON STATUS]
class Record {
 public:
  Record& operator<<(std::string_view field) {
    const auto size = static_cast<std::uint32_t>(field.size());
    bytes_.append(reinterpret_cast<const char*>(&size), sizeof size).append(field);
    return *this;
  }
  Record& operator<<(long number) { return *this << std::string_view(std::to_string(number)); }
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

class RecordReader {
 public:
  explicit RecordReader(std::string_view in) : in_(in) {}
  bool take(std::string& field) {
    std::uint32_t size = 0;
    if (in_.size() < sizeof size) return false;
    std::memcpy(&size, in_.data(), sizeof size);
    if (in_.size() - sizeof size < size) return false;
    field.assign(in_.substr(sizeof size, size));
    in_.remove_prefix(sizeof size + size);
    return true;
  }
  bool take(long& number) {
    std::string field;
    if (!take(field)) return false;
    number = std::strtol(field.c_str(), nullptr, 10);
    return true;
  }

 private:
  std::string_view in_;
};

Record end_record(int i, const ChartOutcome& outcome) {
  Record record;
  record << "end" << i << static_cast<long>(outcome.messages.size());
  for (const std::string& line : outcome.messages) record << line;
  record << (outcome.failure ? 1L : 0L);
  if (outcome.failure) {
    const Failure& f = *outcome.failure;
    record << static_cast<long>(f.kind) << f.what << f.subject << f.reason << f.status;
  }
  return record;
}

// Reads what one helper sent into `outcomes`, and removes the temporary file of a chart it
// began and did not end (it died).
void take_records(std::string_view bytes, std::vector<std::optional<ChartOutcome>>& outcomes) {
  RecordReader in(bytes);
  std::vector<std::optional<std::string>> begun(outcomes.size());
  auto index_ok = [&](long i) { return i >= 0 && static_cast<std::size_t>(i) < outcomes.size(); };
  for (std::string kind; in.take(kind);) {
    long i = -1;
    if (!in.take(i) || !index_ok(i)) break;
    if (kind == "begin") {
      std::string temp;
      if (!in.take(temp)) break;
      begun[i] = std::move(temp);
      continue;
    }
    ChartOutcome outcome;
    long count = 0, failed = 0;
    if (!in.take(count)) break;
    outcome.messages.resize(static_cast<std::size_t>(std::max(count, 0L)));
    bool whole = true;
    for (std::string& line : outcome.messages) whole = whole && in.take(line);
    whole = whole && in.take(failed);
    if (whole && failed) {
      Failure f;
      long kind_number = 0, status = 0;
      whole = in.take(kind_number) && in.take(f.what) && in.take(f.subject) && in.take(f.reason) &&
              in.take(status);
      f.kind = static_cast<Failure::Kind>(kind_number);
      f.status = static_cast<int>(status);
      outcome.failure = std::move(f);
    }
    if (!whole) break;
    outcomes[i] = std::move(outcome);
    begun[i].reset();
  }
  for (const std::optional<std::string>& temp : begun) {
    if (temp) remove_temp_file(*temp);
  }
}

// A helper's whole life after fork(): it never returns.
[[noreturn]] void run_helper(int to_parent, PassCounters& counters,
                             const std::vector<std::string>& names, const ChartWork& work) {
  try {
    const int count = static_cast<int>(names.size());
    for (int i; (i = counters.next++) < count;) {
      const ChartOutcome outcome = work(i, [&](const std::string& temp) {
        Record begin;
        begin << "begin" << i << temp;
        write_all(to_parent, begin.bytes());
      });
      write_all(to_parent, end_record(i, outcome).bytes());
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
