// Entry point: checks the command line, runs one job, prints what stopped it and turns its
// outcome into an exit status.
#include <malloc.h>
#include <unistd.h>

#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "base/messages.h"
#include "base/run_limits.h"
#include "chart/ending_signals.h"
#include "driver/bin_count.h"
#include "driver/histogram_job.h"

namespace histchart {

namespace {

// The usage line is the one users know, three of the four arguments and all.
constexpr const char* kUsage = " input_file bin_count font_filename";
constexpr const char* kHelp =
    "Draws a histogram of each of the seven variables of a table of simulation results:\n"
    "the JPEG files PREFIXdSOC.jpg, PREFIXCH4.jpg, ... PREFIXN_leaching.jpg.\n"
    "  input_file     the table, plain or compressed (gzip, zstd, lz4, xz, lzma, bzip2);\n"
    "                 - reads standard input\n"
    "  bin_count      the number of bins, a whole number from 1 to 10000\n"
    "  font_filename  a TrueType font file for the labels\n"
    "  PREFIX         the fourth argument, put in front of each chart's file name:\n"
    "                 charts/ (a directory that exists), run7_\n"
    "The table's format, the exit statuses and the messages: man histchart\n";

Failure usage_failure(std::string what, std::string subject, std::string reason) {
  Failure failure;
  failure.what = std::move(what);
  failure.subject = std::move(subject);
  failure.reason = std::move(reason);
  failure.status = kExitUsage;
  return failure;
}

// Runs the job the arguments describe; unwritten charts are counted in `unwritten`.
MaybeFailure run(char** argv, int& unwritten) {
  const auto bin_count = parse_bin_count(argv[2]);
  if (!bin_count) {
    return usage_failure("bad bin count", argv[2],
                         "expected a whole number from 1 to " + std::to_string(kMaxBinCount));
  }
  const SystemState system = SystemState::of_this_process();
  std::size_t memory_limit = available_memory(system);
  // Set but empty is what a script's unset variable gives (HISTCHART_MEMORY=$LIMIT): unset.
  if (const char* given = std::getenv("HISTCHART_MEMORY"); given && *given) {
    const auto size = parse_memory_size(given);
    if (!size) {
      return usage_failure("bad memory limit", given,
                           "expected a number of bytes, with an optional K, M, G or T suffix");
    }
    memory_limit = *size;
  }
  // Under a stack too small for the deepest path of a run, the main thread would die of SIGSEGV
  // part-way, perhaps with some charts written: it is refused before anything is read.
  if (const std::uint64_t needed = stack_needed(argv, environ);
      system.stack_limit && *system.stack_limit < needed) {
    Failure failure;
    failure.what = "out of memory reading";
    failure.subject = argv[1];
    failure.reason = "a stack of " + std::to_string(*system.stack_limit >> 10) +
                     " KiB (ulimit -s) is too small: the run needs " +
                     std::to_string(needed >> 10) + " KiB";
    return failure;
  }
  // A file size limit must show up as a failed write that we report, not kill the process
  // half-way through a chart.
  std::signal(SIGXFSZ, SIG_IGN);
  remove_temp_file_on_interrupt();
  try {
    HistogramJob job(argv[1], *bin_count, argv[3], argv[4]);
    job.memory_limit = memory_limit;
    job.cpus = usable_cpus(system);
    job.run();
    for (const ChartOutcome& chart : job.chart_outcomes) unwritten += chart.failure ? 1 : 0;
    return std::move(job.failure);
  } catch (...) {
    // An allocation outside every phase: building the job, or leaving it.
    Failure failure = Failure::of_current_exception();
    failure.subject = argv[1];
    return failure;
  }
}

}  // namespace

}  // namespace histchart

using namespace histchart;

int main(int argc, char** argv) {
  const char* program = argc > 0 && argv[0] ? argv[0] : "histchart";
  const std::string_view only = argc == 2 ? argv[1] : "";
  if (only == "--version") {
    std::cout << "histchart " HISTCHART_VERSION << std::endl;
    return std::cout ? 0 : kExitUsage;
  }
  if (only == "--help") {
    std::cout << program << kUsage << "\n" << kHelp << std::flush;
    return std::cout ? 0 : kExitUsage;
  }
  if (argc != 5) {
    std::cerr << program << kUsage << std::endl;
    return kExitUsage;
  }
  // One malloc arena for all threads: glibc would give each thread one of its own, each 64 MiB
  // of address space, and an address-space limit would then count the cores.
  mallopt(M_ARENA_MAX, 1);
  int unwritten = 0;
  const MaybeFailure failure = run(argv, unwritten);
  if (failure) {
    print_line(failure->line());
    return failure->status;
  }
  return unwritten > 0 ? kExitUnwritten : 0;
}
