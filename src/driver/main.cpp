// Entry point: checks the command line, runs one job, turns its outcome into an exit status.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <new>
#include <string>

#include "chart/chart_file.h"
#include "driver/bin_count.h"
#include "driver/histogram_job.h"
#include "driver/messages.h"
#include "driver/run_limits.h"

namespace {
// Exit statuses, documented in the README.
constexpr int kUsage = 1;      // wrong argument count, a refused bin count or memory limit
constexpr int kBadInput = 2;   // the input table cannot be opened or read, does not fit, or changed
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
  const SystemState system = SystemState::of_this_process();
  std::size_t memory_limit = available_memory(system);
  if (const char* given = std::getenv("HISTCHART_MEMORY")) {
    const auto size = parse_memory_size(given);
    if (!size) {
      print_line(diagnostic("bad memory limit", given,
                            "expected a number of bytes, with an optional K, M or G suffix"));
      return kUsage;
    }
    memory_limit = *size;
  }
  // A file size limit must show up as a failed write that we report, not kill the process
  // half-way through a chart.
  std::signal(SIGXFSZ, SIG_IGN);
  remove_temp_file_on_interrupt();

  try {
    HistogramJob job(argv[1], *bin_count, argv[3], argv[4]);
    job.memory_limit = memory_limit;
    job.threads = usable_cpus(system);
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
