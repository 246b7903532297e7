// How many result variables a table feeds (fields 2 to 8 of every record), and one record's
// values as doubles: what the reader hands to the counting.
#pragma once

#include <array>

namespace histchart {

inline constexpr int kSeriesCount = 7;

using Row = std::array<double, kSeriesCount>;

}  // namespace histchart
