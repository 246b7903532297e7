#include "chart/chart_file.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <utility>

#include "base/signals.h"
#include "chart/ending_signals.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

namespace histchart {

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
  set_temp_file_in_progress(temp_name_.c_str());
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
      set_temp_file_in_progress(nullptr);
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
  set_temp_file_in_progress(nullptr);
  temp_name_.clear();
}

}  // namespace histchart
