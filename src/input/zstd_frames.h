// The frames of a zstd file (pzstd writes several, and so does concatenating zstd outputs),
// decoded side by side: each frame is independent, and where it ends is written in its block
// headers.
#pragma once

#include <memory>

#include "input/side_by_side.h"

// nullptr where the file has fewer than two frames or they cannot all be told apart (a damaged
// or cut-short file, which one decoder in order then reports).
std::unique_ptr<SideBySide> zstd_frames(int fd, int threads);
