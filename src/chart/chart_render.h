// Draws charts into GD images: the one place besides chart_file.cpp that calls libgd.
#pragma once

#include <gd.h>

// Holds GD's font cache for the lifetime of the chart pass, so fonts load once and are freed.
class FontCache {
 public:
  FontCache() { gdFontCacheSetup(); }
  ~FontCache() { gdFontCacheShutdown(); }
  FontCache(const FontCache&) = delete;
  FontCache& operator=(const FontCache&) = delete;
};
