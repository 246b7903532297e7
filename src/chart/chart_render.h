// Draws charts into GD images. With chart_writer.cpp, which writes them, the only code that
// calls libgd.
#pragma once

#include <gd.h>

#include <optional>
#include <string>
#include <vector>

#include "binning/bin.h"
#include "chart/text_measures.h"

// Holds GD's font cache for the lifetime of the chart pass, so fonts load once and are freed.
class FontCache {
 public:
  FontCache() { gdFontCacheSetup(); }
  ~FontCache() { gdFontCacheShutdown(); }
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
};

// Renders every text of the charts with one TrueType font, in black. A text that the renderer
// cannot draw gives the line "draw_text() error: <GD's message>" (once for the measuring call,
// once for the drawing call) and the chart goes on without it. A font that is not a regular
// file (a FIFO, a device, a directory) is never handed to GD: each text gives GD's line for a
// font it cannot open.
class TextPen {
 public:
  explicit TextPen(std::string font);

  void draw(gdImagePtr image, const char* text, int size, int x, int y, double angle);
  // The lines of the texts that could not be drawn since the last call, in order.
  std::vector<std::string> take_messages() { return std::move(messages_); }

 private:
  std::string font_;
  bool refused_;
  TextMeasures measures_;
  std::vector<std::string> messages_;
};

// Why the charts' text calls cannot use `font` (GD's own message, or that it is not a regular
// file), tried once the way they use it; nothing where they can.
std::optional<std::string> font_failure(const std::string& font);

// Draws the chart of `bins` and `title` into a fresh 432 x 216 palette image.
void draw_chart(gdImagePtr image, const std::vector<Bin>& bins, const std::string& title,
                TextPen& pen);
