#include "chart/chart_file.h"

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "chart/chart_layout.h"
#include "chart/chart_render.h"
#include "driver/histogram_job.h"
#include "driver/messages.h"

ChartFile::ChartFile(std::string final_name) : final_name_(std::move(final_name)) {}

ChartFile::~ChartFile() { discard(); }

bool ChartFile::open() {
  std::vector<char> name(final_name_.begin(), final_name_.end());
  for (char c : std::string_view(".XXXXXX")) name.push_back(c);
  name.push_back('\0');
  const int fd = ::mkstemp(name.data());
  if (fd < 0) {
    error_ = std::strerror(errno);
    return false;
  }
  temp_name_ = name.data();
  // mkstemp makes the file private; a chart gets the permissions any new file would get.
  const mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
  stream_ = ::fdopen(fd, "wb");
  if (!stream_) {
    error_ = std::strerror(errno);
    ::close(fd);
    discard();
    return false;
  }
  return true;
}

bool ChartFile::commit() {
  // A write that failed inside the encoder shows only in the stream's error flag, with errno
  // still holding the reason.
  int failure = 0;
  if (std::fflush(stream_) != 0 || std::ferror(stream_)) failure = errno ? errno : EIO;
  if (std::fclose(stream_) != 0 && failure == 0) failure = errno;
  stream_ = nullptr;
  if (failure != 0) {
    error_ = std::strerror(failure);
  } else if (std::rename(temp_name_.c_str(), final_name_.c_str()) != 0) {
    error_ = std::strerror(errno);
  } else {
    temp_name_.clear();
    return true;
  }
  discard();
  return false;
}

void ChartFile::discard() {
  if (stream_) std::fclose(stream_);
  stream_ = nullptr;
  if (!temp_name_.empty()) ::unlink(temp_name_.c_str());
  temp_name_.clear();
}

namespace {

// GD reports JPEG write failures through its error method as well as through the stream; the
// stream is what we check, so the library's own line is kept off standard error.
void quiet(int, const char*, va_list) {}

}  // namespace

void HistogramJob::draw_histograms() {
  FontCache fonts;
  for (const Series& s : series) {
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
      print_line(diagnostic("cannot write chart", name,
                            file.error().empty() ? "out of memory" : file.error()));
      ++unwritten_charts;
    }
  }
}
