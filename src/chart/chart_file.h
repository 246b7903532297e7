// A chart file that appears under its final name only when it has been written in full.
//
// The JPEG goes to a temporary file beside the final one (same directory, so the rename is
// atomic); commit() checks the stream, closes it and renames the file into place. A chart that
// is not committed leaves nothing behind: neither a truncated file under the final name nor
// the temporary one, also when the run ends by a signal once remove_temp_file_on_interrupt()
// is in force (ending_signals.h). A killed run (SIGKILL) can leave the temporary
// file, named after the chart with a ".XXXXXX" suffix, or "histchart.XXXXXX" beside it where that
// name would be too long; it is never a chart.
#pragma once

#include <cstdio>
#include <functional>
#include <string>

#include "base/failure.h"

namespace histchart {

// Called with a chart's temporary file name as soon as the file exists.
using TempFileMade = std::function<void(const std::string& temp_name)>;

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
