#include "chart/text_pen.h"

#include <gd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>

#include "base/files.h"

namespace histchart {

namespace {

// GD opens the font by its path for every text: a FIFO would make each open wait for a writer,
// a device could be read for ever. What cannot be stated (no such file) is GD's to report.
bool not_a_regular_file(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
}

// Why `path` cannot be opened, if it cannot: GD says "Could not find/open font" for every reason
// (no such file, no permission, no file descriptor left).
std::optional<std::string> open_failure(const std::string& path) {
  const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) return std::strerror(errno);
  return std::nullopt;
}

// GD's message for a font it cannot open, which it gives for a directory too.
constexpr char kUnopenedFont[] = "draw_text() error: Could not find/open font";

int font_caches = 0;  // alive on this thread: the outermost sets GD's cache up and shuts it down

// A text call that failed for want of file descriptors (the font is opened again for each
// chart) says nothing of the font: the chart cannot be drawn as it should be, and fails.
const char* unless_out_of_descriptors(const char* error) {
  if (error && (errno == EMFILE || errno == ENFILE)) {
    throw Failure{Failure::Kind::stated, "", "", std::strerror(errno)};
  }
  return error;
}

}  // namespace

FontCache::FontCache() {
  if (font_caches++ == 0) gdFontCacheSetup();
}

FontCache::~FontCache() {
  if (--font_caches == 0) gdFontCacheShutdown();
}

TextPen::TextPen(std::string font) : font_(std::move(font)), refused_(not_a_regular_file(font_)) {}

void TextPen::draw(gdImagePtr image, const char* text, int size, int x, int y, double angle) {
  if (refused_) {
    // As GD would have it: the measuring call and the drawing call fail alike.
    messages_.insert(messages_.end(), 2, kUnopenedFont);
    return;
  }
  std::array<int, 8> box{};
  // The measuring call (no image) reports a bad font before anything is drawn.
  auto measure = [&]() -> std::optional<std::string> {
    errno = 0;
    const char* error = unless_out_of_descriptors(
        gdImageStringFT(nullptr, box.data(), 0, font_.c_str(), size, angle, 0, 0, text));
    if (!error) return std::nullopt;
    return error;
  };
  std::optional<std::string> unkept;
  const std::optional<std::string>* error = &unkept;
  if (const auto key = text_measure_key(text, size, angle)) {
    auto known = measures_.find(*key);
    if (known == measures_.end()) known = measures_.emplace(*key, measure()).first;
    error = &known->second;
  } else {
    unkept = measure();
  }
  if (*error) messages_.push_back("draw_text() error: " + **error);
  // Resolving rather than allocating reuses the one black entry: a chart with hundreds of
  // labels would otherwise run out of palette entries.
  const int black = gdImageColorResolve(image, 0, 0, 0);
  errno = 0;
  if (const char* failure = unless_out_of_descriptors(
          gdImageStringFT(image, box.data(), black, font_.c_str(), size, angle, x, y, text))) {
    messages_.push_back(std::string("draw_text() error: ") + failure);
  }
}

MaybeFailure font_failure(const std::string& font) {
  std::optional<std::string> reason;
  if (not_a_regular_file(font)) {
    reason = "it is not a regular file";  // and never opened: a FIFO would wait for a writer
  } else {
    reason = open_failure(font);
  }
  if (!reason) {
    // Within a cache that outlives this call, the font stays loaded there.
    const FontCache fonts;
    std::array<int, 8> box{};
    // A label's size and characters: the failures that matter (no file, not a font) do not
    // depend on them.
    if (const char* error = gdImageStringFT(nullptr, box.data(), 0, font.c_str(), 10, 0.0, 0, 0,
                                            const_cast<char*>("0"))) {
      reason = error;
    }
  }
  if (!reason) return std::nullopt;
  Failure failure;
  failure.what = "cannot use font";
  failure.subject = font;
  failure.reason = *reason + "; the charts are drawn without text";
  failure.status = 0;
  return failure;
}

}  // namespace histchart
