// Divides a series' range into equal-width bins (the second phase of a run).
#pragma once

#include <cstddef>
#include <vector>

#include "binning/bin.h"

// Removes the values that are not finite (NaN, +-inf): they have no place on a finite axis and
// would make the order undefined. Keeps the finite values in their order; returns how many
// were removed.
std::size_t remove_non_finite(Values& values);

// Sorts `values` ascending in place (as `<` orders finite doubles) and appends the bins of the
// range from the smallest to the largest value to `bins`, in ascending order of their edges.
//
// REQUIRES: every value finite; bin_count >= 1.
// A series with no values, or whose values are all equal, receives no bins. Otherwise the last
// bin holds the maximum, and the counts add up to the number of values.
void bin_values(Values& values, int bin_count, std::vector<Bin>& bins);
