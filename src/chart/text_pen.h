// The charts' text: drawn with one TrueType font, in black, remembering what measuring gave.
//
// A text that the renderer cannot draw gives the line "draw_text() error: <GD's message>" (once
// for the measuring call, once for the drawing call), kept for take_messages(); the chart goes
// on without it. A font that is not a regular file (a FIFO, a device, a directory) is never
// handed to GD: each text gives GD's line for a font it cannot open. What measuring gave is kept
// by TextMeasureKey for the pen's life, so that a chart of thousands of labels measures a few.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "base/failure.h"
#include "chart/text_measures.h"

struct gdImageStruct;

namespace histchart {

// Holds GD's font cache while it lives, so fonts load once and are freed. Nested, the outermost
// holds it.
class FontCache {
 public:
  FontCache();
  ~FontCache();
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
};

class TextPen {
 public:
  explicit TextPen(std::string font);

  void draw(gdImageStruct* image, const char* text, int size, int x, int y, double angle);
  // The lines of the texts that could not be drawn since the last call, in order.
  std::vector<std::string> take_messages() { return std::exchange(messages_, {}); }

 private:
  std::string font_;
  bool refused_;
  TextMeasures measures_;
  std::vector<std::string> messages_;
};

// Where the charts' text calls cannot use `font`, tried once the way they use it: "cannot use
// font 'FONT': REASON; the charts are drawn without text", REASON being that it is not a regular
// file, why it cannot be opened, or GD's own message. It ends nothing (status 0): the charts are
// drawn all the same.
MaybeFailure font_failure(const std::string& font);

}  // namespace histchart
