// The members of a BGZF file (bgzip and the genomics tools write it: gzip members of at most
// 64 KiB, each giving its own size in its header), decoded side by side. Other gzip files
// give no member's end before it is decoded, and keep one decoder.
#pragma once

#include <memory>

#include "input/side_by_side.h"

// nullptr where the file is not made of two or more members that each give their size (a
// damaged or cut-short file, or data after the last member, which one decoder then reports).
std::unique_ptr<SideBySide> gzip_members(int fd, int threads);
