#include "chart/ending_signals.h"

#include <atomic>
#include <csignal>

#include "base/messages.h"
#include "base/signals.h"

#include <signal.h>
#include <sys/prctl.h>
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

}  // namespace

bool run_has_ended() { return run_process != 0 && ::getppid() != run_process; }

void set_temp_file_in_progress(const char* name) { temp_file_in_progress = name; }

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

void remove_temp_file(const std::string& name) { ::unlink(name.c_str()); }

void set_chart_helper(int slot, pid_t pid) { helpers_in_progress[slot] = pid; }

}  // namespace histchart
