// What became of one chart of the pass, kept for the driver to print.
#pragma once

#include <string>
#include <vector>

#include "base/failure.h"

namespace histchart {

struct ChartOutcome {
  std::vector<std::string> messages;  // the lines of its texts that could not be drawn, in order
  MaybeFailure failure;               // set where the chart could not be written
};

}  // namespace histchart
