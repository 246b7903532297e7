// One chart, drawn and written to its file whole (see ChartFile), and what became of it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "base/failure.h"
#include "binning/bin.h"
#include "chart/chart_render.h"

struct ChartOutcome {
  std::vector<std::string> messages;  // the texts that could not be drawn, in order
  MaybeFailure failure;               // set where the chart could not be written
};

// Called with the temporary file's name as soon as it exists.
using TempFileMade = std::function<void(const std::string& temp_name)>;

// Draws the chart of `bins` and `title` and writes it under `name`. An allocation that fails on
// the way is "out of memory drawing 'NAME'" (status 3), like any other chart not written.
ChartOutcome write_chart(const std::string& name, const std::vector<Bin>& bins,
                         const std::string& title, TextPen& pen,
                         const TempFileMade& made = nullptr);

// The failure of a chart whose drawing raised the exception being handled.
// REQUIRES: called inside a catch block.
Failure chart_failure(const std::string& name);
