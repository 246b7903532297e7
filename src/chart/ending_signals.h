// How a run ends by a signal: the chart in progress and the processes drawing charts beside it
// leave nothing behind, and a helper process ends with its run.
#pragma once

#include <string>

#include <sys/types.h>

namespace histchart {

// Removes a chart's temporary file that its process left when it died.
void remove_temp_file(const std::string& name);

// Installs handlers for the ending signals (signals.h) that erase the progress line, remove the
// temporary file of the chart in progress and then end the process by the same signal. Signals
// that are ignored when the program starts stay ignored. Processes drawing charts beside this
// one (set_chart_helper) are ended first, and waited for, so that their temporary files are
// gone too.
void remove_temp_file_on_interrupt();

// Makes this process, just forked from the run's process `run`, a chart helper that ends with
// its run however the run ends, even by SIGKILL: it removes its temporary file and renames
// nothing after that.
// REQUIRES: called first thing in the child, the ending signals blocked (InterruptsBlocked); the
// thread that forked it lives as long as the run (the signal comes when that thread ends).
void follow_run(pid_t run);

inline constexpr int kMaxChartProcesses = 7;
// REQUIRES: the ending signals blocked (InterruptsBlocked). pid 0 clears the slot.
void set_chart_helper(int slot, pid_t pid);

// The temporary file of the chart in progress (nullptr: none), for the signal handler.
// REQUIRES: the ending signals blocked (InterruptsBlocked).
void set_temp_file_in_progress(const char* name);

// In a chart helper (follow_run): whether its run has ended, so that it must rename nothing.
bool run_has_ended();

}  // namespace histchart
