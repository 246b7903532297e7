// The bin count argument: read as atoi reads it, refused where the binning has no sound result.
#pragma once

#include <optional>

namespace histchart {

// Beyond this a chart is unreadable and drawing its labels alone takes minutes.
inline constexpr int kMaxBinCount = 10000;

// Reads `text` the forgiving way atoi does (leading white space, an optional sign, the leading
// digits; whatever follows is ignored, so "7x" is 7 and "  12" is 12). Returns nothing for a
// count below 1 (which includes text without a leading number), above kMaxBinCount, or beyond
// the range of int, where atoi itself would be undefined.
std::optional<int> parse_bin_count(const char* text);

}  // namespace histchart
