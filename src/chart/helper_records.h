// What a chart helper process sends back through its pipe, record by record, each field a
// 32-bit length and its bytes:
//   "begin" INDEX TEMP_NAME                     once the chart's temporary file exists
//   "end" INDEX N MESSAGE... FAILED [KIND WHAT SUBJECT REASON STATUS]
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "chart/chart_outcome.h"

namespace histchart {

std::string begin_record(int chart, const std::string& temp_name);
std::string end_record(int chart, const ChartOutcome& outcome);

// Reads what one helper sent into `outcomes`, and removes the temporary file of a chart it
// began and did not end (it died). Stops at a record cut short.
void take_records(std::string_view bytes, std::vector<std::optional<ChartOutcome>>& outcomes);

}  // namespace histchart
