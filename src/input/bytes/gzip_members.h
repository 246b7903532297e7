// The members of a BGZF file (bgzip and the genomics tools write it: gzip members of at most
// 64 KiB, each giving its own size in its header), decoded side by side. Other gzip files
// give no member's end before it is decoded, and keep one decoder.
#pragma once

#include <cstdint>
#include <memory>

#include "input/bytes/side_by_side.h"

namespace histchart {

// The members of the regular file `fd` of `size` bytes; nullptr where it is not made of two
// to kMostParts members that each give their size (a damaged or cut-short file, or data after
// the last member, which one decoder then reports).
std::unique_ptr<SideBySide> gzip_members(int fd, std::uint64_t size, int threads);

}  // namespace histchart
