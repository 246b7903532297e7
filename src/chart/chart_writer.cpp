#include "chart/chart_writer.h"

#include <cerrno>
#include <cstdarg>
#include <memory>

#include "chart/chart_layout.h"

namespace histchart {

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

MaybeFailure write_chart(const std::string& name, const std::vector<Bin>& bins,
                         const std::string& title, const ChartRoutines& routines,
                         const TempFileMade& made) {
  try {
    ChartFile file(name);
    if (MaybeFailure failure = file.open()) return failure;
    if (made) made(file.temp_name());
    {
      const std::unique_ptr<gdImage, decltype(&gdImageDestroy)> image(
          gdImageCreate(kImageWidth, kImageHeight), gdImageDestroy);
      if (!image) throw Failure::out_of_memory();
      draw_chart(image.get(), bins, title, routines);
      errno = 0;
      gdSetErrorMethod(quiet);
      gdImageJpeg(image.get(), file.stream(), -1);
      gdClearErrorMethod();
    }
    return file.commit();
  } catch (...) {
    return chart_failure(name);
  }
}

}  // namespace histchart
