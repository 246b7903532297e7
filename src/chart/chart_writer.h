// One chart, drawn and written to its file whole (see ChartFile).
#pragma once

#include <string>
#include <vector>

#include "base/failure.h"
#include "binning/bin.h"
#include "chart/chart_file.h"
#include "chart/chart_render.h"

namespace histchart {

// Draws the chart of `bins` and `title` with `routines` and writes it under `name`. The entry of
// one chart: whatever fails on its way ends this chart alone, with "out of memory drawing 'NAME'"
// where an allocation failed, else "cannot write chart 'NAME': REASON" (status 3).
MaybeFailure write_chart(const std::string& name, const std::vector<Bin>& bins,
                         const std::string& title, const ChartRoutines& routines,
                         const TempFileMade& made = nullptr);

// The failure of a chart whose drawing raised the exception being handled.
// REQUIRES: called inside a catch block.
Failure chart_failure(const std::string& name);

}  // namespace histchart
