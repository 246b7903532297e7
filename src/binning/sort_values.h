// Sorts finite doubles ascending, in the order `<` gives them, in time linear in their number.
#pragma once

#include <cstddef>

// REQUIRES: no NaN among values[0, n). -0.0 is placed before +0.0, which `<` leaves unordered.
void sort_values(double* values, std::size_t n);
