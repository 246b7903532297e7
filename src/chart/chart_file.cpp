#include "chart/chart_file.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// The temporary file of the chart in progress, for the interrupt handler. It is set and
// cleared only while the interrupt signals are blocked, so the handler never sees a file that
// exists without its name, nor a name whose file has been renamed into place.
std::atomic<const char*> temp_file_in_progress{nullptr};
// The processes drawing charts beside this one, likewise set and cleared with the signals
// blocked: an interrupt ends them, and so their temporary files, before this process ends.
std::atomic<pid_t> helpers_in_progress[kMaxChartProcesses];
constexpr int kInterrupts[] = {SIGINT, SIGTERM, SIGHUP};

void on_interrupt(int signal) {
  if (const char* name = temp_file_in_progress.load()) ::unlink(name);
  for (std::atomic<pid_t>& helper : helpers_in_progress) {
    if (const pid_t pid = helper.load(); pid > 0) ::kill(pid, signal);
  }
  for (std::atomic<pid_t>& helper : helpers_in_progress) {
    if (const pid_t pid = helper.load(); pid > 0) ::waitpid(pid, nullptr, 0);
  }
  // Ending by the signal itself lets the caller see an interrupted run as interrupted
  // (status 128 + the signal): it is delivered with the default action once we return.
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

}  // namespace

void remove_temp_file_on_interrupt() {
  static_assert(std::atomic<const char*>::is_always_lock_free);
  static_assert(std::atomic<pid_t>::is_always_lock_free);
  for (int s : kInterrupts) {
    struct sigaction action {};
    // A signal the caller chose to ignore (nohup, a background job) stays ignored.
    if (sigaction(s, nullptr, &action) != 0 || action.sa_handler == SIG_IGN) continue;
    action = {};
    action.sa_handler = on_interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(s, &action, nullptr);
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
    if (std::rename(temp_name_.c_str(), final_name_.c_str()) == 0) {
      temp_file_in_progress = nullptr;
      temp_name_.clear();
      return std::nullopt;
    }
    failure = errno;
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

InterruptsBlocked::InterruptsBlocked() {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kInterrupts) sigaddset(&set, s);
  sigprocmask(SIG_BLOCK, &set, &old_);
}

InterruptsBlocked::~InterruptsBlocked() { sigprocmask(SIG_SETMASK, &old_, nullptr); }
