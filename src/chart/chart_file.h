// A chart file that appears under its final name only when it has been written in full.
//
// The JPEG goes to a temporary file beside the final one (same directory, so the rename is
// atomic); commit() checks the stream, closes it and renames the file into place. A chart that
// is not committed leaves nothing behind: neither a truncated file under the final name nor
// the temporary one, also when the run ends by a signal (see signals.h) once
// remove_temp_file_on_interrupt() is in force. A killed run (SIGKILL) can leave the temporary
// file, named after the chart with a ".XXXXXX" suffix, or "histchart.XXXXXX" beside it where that
// name would be too long; it is never a chart.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "base/failure.h"
#include "base/signals.h"

#include <sys/types.h>

namespace histchart {

// Called with a chart's temporary file name as soon as the file exists.
using TempFileMade = std::function<void(const std::string& temp_name)>;

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

class ChartFile {
 public:
  explicit ChartFile(std::string final_name);
  ChartFile(const ChartFile&) = delete;
  ChartFile& operator=(const ChartFile&) = delete;
  ~ChartFile();

  // Creates the temporary file; fails with "cannot write chart 'NAME': REASON" (status 3).
  MaybeFailure open();
  FILE* stream() const { return stream_; }
  const std::string& temp_name() const { return temp_name_; }
  // REQUIRES: open() succeeded. Where it fails, the temporary file is removed too.
  MaybeFailure commit();

 private:
  void discard();
  Failure failure(int error) const;

  std::string final_name_;
  std::string temp_name_;
  FILE* stream_ = nullptr;
};

}  // namespace histchart
