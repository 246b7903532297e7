// One histogram bin: how many values fell into it, where its edges lie and which values they were.
//
// A bin holds the values v with left <= v < right, except that the values equal to the
// series' maximum join whichever bin is open when the walk reaches them. `count` is fixed when
// the bin is made; it is not derived from `elements`.
#pragma once

#include "binning/values.h"

struct Bin {
  Bin(int count, double left, double right) : count(count), left(left), right(right) {}

  int count;
  double left;
  double right;
  Values elements;  // ascending
};
