// How many result variables a table feeds: fields 2 to 8 of every record.
#pragma once

inline constexpr int kSeriesCount = 7;
