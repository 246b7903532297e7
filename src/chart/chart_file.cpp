#include "chart/chart_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include "base/messages.h"

#include <signal.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace histchart {

namespace {

// The temporary file of the chart in progress, for the signal handler. It is set and cleared
// only while the ending signals are blocked, so the handler never sees a file that exists
// without its name, nor a name whose file has been renamed into place.
std::atomic<const char*> temp_file_in_progress{nullptr};
// The processes drawing charts beside this one, likewise set and cleared with the signals
// blocked: a signal ends them, and so their temporary files, before this process ends.
std::atomic<pid_t> helpers_in_progress[kMaxChartProcesses];
// In a helper, the run's own process; 0 in the run's process.
pid_t run_process = 0;

void on_ending_signal(int signal) {
  erase_status_line_in_handler();
  if (const char* name = temp_file_in_progress.load()) ::unlink(name);
  for (std::atomic<pid_t>& helper : helpers_in_progress) {
    if (const pid_t pid = helper.load(); pid > 0) ::kill(pid, helper_end_signal());
  }
  for (std::atomic<pid_t>& helper : helpers_in_progress) {
    if (const pid_t pid = helper.load(); pid > 0) ::waitpid(pid, nullptr, 0);
  }
  // Again: a line the progress thread was drawing as the handler began is whole by now.
  erase_status_line_in_handler();
  // Ending by the signal itself lets the caller see an interrupted run as interrupted
  // (status 128 + the signal): it is delivered with the default action once we return.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void handle(int signal) {
  struct sigaction action {};
  action.sa_handler = on_ending_signal;
  sigemptyset(&action.sa_mask);
  sigaction(signal, &action, nullptr);
}

bool run_has_ended() { return run_process != 0 && ::getppid() != run_process; }

}  // namespace

void remove_temp_file_on_interrupt() {
  static_assert(std::atomic<const char*>::is_always_lock_free);
  static_assert(std::atomic<pid_t>::is_always_lock_free);
  for (int s : kEndingSignals) {
    struct sigaction action {};
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    if (sigaction(s, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    handle(s);
  }
}

void follow_run(pid_t run) {
  // The slots it inherited are its siblings'.
  for (std::atomic<pid_t>& helper : helpers_in_progress) helper = 0;
  run_process = run;
  handle(helper_end_signal());
  // The run may have ended before the signal was asked for: then no one would send it.
  if (::prctl(PR_SET_PDEATHSIG, helper_end_signal()) != 0 || run_has_ended()) {
    std::raise(helper_end_signal());
  }
}

ChartFile::ChartFile(std::string final_name) : final_name_(std::move(final_name)) {}

ChartFile::~ChartFile() { discard(); }

Failure ChartFile::failure(int error) const {
  Failure failure;
  failure.what = "cannot write chart";
  failure.subject = final_name_;
  failure.reason = std::strerror(error);
  failure.status = kExitUnwritten;
  return failure;
}

MaybeFailure ChartFile::open() {
  std::string name = final_name_ + ".XXXXXX";
  InterruptsBlocked blocked;
  int fd = ::mkstemp(name.data());
  // A final name close to the longest a directory takes leaves no room for the suffix. Any name
  // in the same directory will do for the rename; one that is itself too long is refused here,
  // before its chart is drawn.
  struct stat info {};
  if (fd < 0 && errno == ENAMETOOLONG &&
      (::lstat(final_name_.c_str(), &info) == 0 || errno != ENAMETOOLONG)) {
    name = final_name_.substr(0, final_name_.rfind('/') + 1) + "histchart.XXXXXX";
    fd = ::mkstemp(name.data());
  }
  if (fd < 0) return failure(errno);
  temp_name_ = name;
  temp_file_in_progress = temp_name_.c_str();
  // mkstemp makes the file private; a chart gets the permissions any new file would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  stream_ = ::fdopen(fd, "wb");
  if (!stream_) {
    const int error = errno;
    ::close(fd);
    discard();
    return failure(error);
  }
  return std::nullopt;
}

MaybeFailure ChartFile::commit() {
  // A write that failed inside the encoder shows only in the stream's error flag, with errno
  // still holding the reason.
  int failure = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) failure = errno ? errno : EIO;
  if (std::fclose(stream_) != 0 && failure == 0) failure = errno;
  stream_ = nullptr;
  if (failure == 0) {
    InterruptsBlocked blocked;
    if (run_has_ended()) {
      // A helper outliving its run would rename its chart over a later run's. Its end signal
      // is on its way, or is now: it ends the process, and the file with it, once unblocked.
      std::raise(helper_end_signal());
      failure = ECANCELED;
    } else if (std::rename(temp_name_.c_str(), final_name_.c_str()) == 0) {
      temp_file_in_progress = nullptr;
      temp_name_.clear();
      return std::nullopt;
    } else {
      failure = errno;
    }
  }
  discard();
  return this->failure(failure);
}

void ChartFile::discard() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  InterruptsBlocked blocked;
  if (!temp_name_.empty()) ::unlink(temp_name_.c_str());
  temp_file_in_progress = nullptr;
  temp_name_.clear();
}

void remove_temp_file(const std::string& name) { ::unlink(name.c_str()); }

void set_chart_helper(int slot, pid_t pid) { helpers_in_progress[slot] = pid; }

}  // namespace histchart
