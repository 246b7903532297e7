// The job's first phase: a thin shell over InputFile.
#include "base/messages.h"
#include "driver/histogram_job.h"
#include "input/input_file.h"

namespace histchart {

void HistogramJob::read_data() {
  ReadOptions options;
  options.memory_limit = memory_limit;
  options.cpus = cpus;
  TableReading reading;
  failure = InputFile(input_file).read(options, reading);
  if (failure) return;
  threads = reading.threads;
  records = std::move(reading.records);
  for (Series& s : series) {
    s.range = reading.ranges[s.index];
    if (const NotNumbers& not_numbers = reading.not_numbers[s.index]; not_numbers.count > 0) {
      print_line(not_numbers_line(SeriesTable::short_name(s.index), not_numbers));
    }
  }
  if (series[0].range.finite + series[0].range.non_finite == 0) {
    // An empty result can be legitimate, but never silent.
    print_line(diagnostic("no records in", input_file, "the charts are empty"));
  }
}

}  // namespace histchart
