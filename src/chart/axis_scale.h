// The divisions of the count axis, computed from its range alone.
//
// HistogramJob::axis_scale(low, high, major_count, minor_count, axis_min, axis_max) widens
// [low, high] to multiples of a power-of-ten step (refined by halving while the ends leave too
// wide a margin) and returns the number of major divisions (not always whole), minor divisions
// per major division (always 5) and the rounded ends. An empty or negative range gives the
// fixed result 5, 5, 0, 1.
#pragma once

#include "driver/histogram_job.h"
