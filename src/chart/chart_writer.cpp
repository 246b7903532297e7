#include "chart/chart_writer.h"

#include <cerrno>
#include <cstdarg>

#include "chart/chart_file.h"
#include "chart/chart_layout.h"

namespace {

// GD reports JPEG write failures through its error method as well as through the stream; the
// stream is what we check, so the library's own line is kept off standard error.
void quiet(int, const char*, va_list) {}

}  // namespace

Failure chart_failure(const std::string& name) {
  Failure failure = Failure::of_current_exception();
  if (failure.kind == Failure::Kind::out_of_memory) {
    failure.what = "out of memory drawing";
    failure.reason = "the chart does not fit in memory";
  } else {
    failure.what = "cannot write chart";
  }
  failure.subject = name;
  failure.status = kExitUnwritten;
  return failure;
}

ChartOutcome write_chart(const std::string& name, const std::vector<Bin>& bins,
                         const std::string& title, TextPen& pen, const TempFileMade& made) {
  ChartOutcome outcome;
  try {
    ChartFile file(name);
    outcome.failure = file.open();
    if (outcome.failure) return outcome;
    if (made) made(file.temp_name());
    gdImagePtr image = gdImageCreate(kImageWidth, kImageHeight);
    if (!image) throw Failure::out_of_memory();
    try {
      draw_chart(image, bins, title, pen);
    } catch (...) {
      gdImageDestroy(image);
      throw;
    }
    errno = 0;
    gdSetErrorMethod(quiet);
    gdImageJpeg(image, file.stream(), -1);
    gdClearErrorMethod();
    gdImageDestroy(image);
    outcome.failure = file.commit();
  } catch (...) {
    outcome.failure = chart_failure(name);
  }
  outcome.messages = pen.take_messages();
  return outcome;
}
