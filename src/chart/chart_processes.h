// The chart pass on several processes.
//
// GD holds one lock across every text it draws, for the whole process, so threads would draw
// the text one at a time; processes each have their own. Each helper process takes the next
// chart not yet taken, draws it, and sends what became of it back through a pipe; it never
// returns into the caller's code: it draws, reports and ends (_exit) on every path. The caller
// draws too, then waits for every helper, also where it fails itself. A chart whose helper died
// is reported unwritten, and the temporary file it had made is removed.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <vector>

#include "chart/chart_file.h"
#include "chart/chart_outcome.h"

namespace histchart {

// Draws chart i, calling made(temp_name) once its temporary file exists. It does not throw: a
// chart that cannot be written says so in its outcome (see write_chart). Should it throw all the
// same, in a helper the chart is reported as one whose process ended unexpectedly; in this
// process the exception leaves draw_in_processes once every helper has ended.
using ChartWork = std::function<ChartOutcome(int i, const TempFileMade& made)>;

// Draws the charts named `names` with `work`, on up to `processes` processes (this one
// included), and returns their outcomes in chart order. A progress line counts them on a
// terminal.
std::vector<ChartOutcome> draw_in_processes(const std::vector<std::string>& names, int processes,
                                            const ChartWork& work);

}  // namespace histchart
