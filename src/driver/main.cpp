// Entry point: checks the command line, runs one job, turns its outcome into an exit status.
#include <csignal>
#include <iostream>
#include <new>
#include <string>

#include "driver/bin_count.h"
#include "driver/histogram_job.h"
#include "driver/messages.h"

namespace {
// Exit statuses, documented in the README.
constexpr int kUsage = 1;      // wrong argument count or a refused bin count
constexpr int kBadInput = 2;   // the input table cannot be opened or read, or does not fit
constexpr int kUnwritten = 3;  // at least one chart could not be written
}  // namespace

int main(int argc, char** argv) {
  if (argc != 5) {
    std::cerr << (argc > 0 && argv[0] ? argv[0] : "histchart")
              << " input_file bin_count font_filename" << std::endl;
    return kUsage;
  }
  const auto bin_count = parse_bin_count(argv[2]);
  if (!bin_count) {
    print_line(diagnostic("bad bin count", argv[2],
                          "expected a whole number from 1 to " + std::to_string(kMaxBinCount)));
    return kUsage;
  }
  // A file size limit must show up as a failed write that we report, not kill the process
  // half-way through a chart.
  std::signal(SIGXFSZ, SIG_IGN);

  try {
    HistogramJob job(argv[1], *bin_count, argv[3], argv[4]);
    job.run();
    return job.unwritten_charts > 0 ? kUnwritten : 0;
  } catch (const std::string& message) {
    print_line(message);
    return kBadInput;
  } catch (const std::bad_alloc&) {
    print_line(diagnostic("out of memory reading", argv[1], "the table does not fit in memory"));
    return kBadInput;
  }
}
