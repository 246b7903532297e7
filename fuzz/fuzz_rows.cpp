// Small inputs grown into large tables, so that the fuzzer reaches what only large tables
// reach: held chunks filled in one form and then another (chunks that turn to doubles part way),
// many pieces and blocks. The input is a recipe of runs, each a count byte and a line: the run
// is that line repeated (count + 1) * 256 times. Each run's values are known from the plain
// reference reading of its one line, so a table of a hundred thousand rows costs one reading.
#include <pthread.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "fuzz_checks.h"
#include "input/input_file.h"
#include "input/records/table_scanner.h"
#include "reference.h"

using namespace histchart;

namespace {

constexpr std::size_t kMostRows = 100000;
constexpr std::size_t kMostBytes = std::size_t{8} << 20;

struct Run {
  std::string line;  // one record, with its LF
  ReferenceTable record;
  std::size_t rows;
};

// The line as one record: no LF inside and no NUL (a NUL early in a table makes it binary
// data), a first field of its own, and at least eight words.
std::string one_record(std::string line) {
  std::replace(line.begin(), line.end(), '\0', 'x');
  line = "r " + line;
  std::size_t words = 0;
  for (std::size_t at = 0; at < line.size();) {
    while (at < line.size() && TableScanner::blank(line[at])) ++at;
    if (at == line.size()) break;
    ++words;
    while (at < line.size() && !TableScanner::blank(line[at])) ++at;
  }
  for (; words < 8; ++words) line += " 0";
  return line + "\n";
}

// The table from a file, or from a pipe fed by a thread of its own, held to `want`.
void check_reading(const std::string& text, bool pipe, int cpus, const ReferenceTable& want) {
  int ends[2] = {-1, -1};
  std::thread writer;
  if (pipe) {
    FUZZ_CHECK(::pipe(ends) == 0);
    writer = std::thread([&] {
      sigset_t signals;
      sigemptyset(&signals);
      sigaddset(&signals, SIGPIPE);
      pthread_sigmask(SIG_BLOCK, &signals, nullptr);
      for (std::size_t at = 0; at < text.size();) {
        const ssize_t n = ::write(ends[1], text.data() + at, text.size() - at);
        if (n <= 0) break;
        at += static_cast<std::size_t>(n);
      }
      ::close(ends[1]);
    });
  } else {
    ends[0] = ::memfd_create("table", 0);
    FUZZ_CHECK(::write(ends[0], text.data(), text.size()) == static_cast<ssize_t>(text.size()));
  }
  ReadOptions options;
  options.cpus = cpus;
  options.memory_limit = std::size_t{256} << 20;
  TableReading table;
  const MaybeFailure failure =
      InputFile("/proc/self/fd/" + std::to_string(ends[0])).read(options, table);
  ::close(ends[0]);
  if (writer.joinable()) writer.join();
  FUZZ_CHECK(!failure);
  FUZZ_CHECK(!table.records.reads_again());
  ReferenceTable got;
  FUZZ_CHECK(!take_records(table, got));
  FUZZ_CHECK(got.not_numbers == want.not_numbers);
  for (int i = 0; i < kSeriesCount; ++i) {
    FUZZ_CHECK(print(got.columns[i]) == print(want.columns[i]));
    FUZZ_CHECK(same_range(table.ranges[i], range_of(want.columns[i])));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::vector<Run> runs;
  std::string text = "h\nh\nh\n";
  std::size_t rows = 0;
  const char* p = reinterpret_cast<const char*>(data);
  const char* const end = p + size;
  while (p < end && rows < kMostRows && text.size() < kMostBytes) {
    const std::size_t count = (static_cast<unsigned char>(*p++) + std::size_t{1}) * 256;
    const char* const lf = std::find(p, end, '\n');
    Run run{one_record(std::string(p, lf)), {}, 0};
    p = lf == end ? end : lf + 1;
    run.record = reference_table("h\nh\nh\n" + run.line);
    FUZZ_CHECK(run.record.columns[0].size() == 1);
    run.rows =
        std::min({count, kMostRows - rows, (kMostBytes - text.size()) / run.line.size() + 1});
    for (std::size_t r = 0; r < run.rows; ++r) text += run.line;
    rows += run.rows;
    runs.push_back(std::move(run));
  }
  if (runs.empty()) return 0;
  // The runs' values, each as many times as its run has rows; the first field that is not a
  // number on its line in the whole table.
  ReferenceTable want;
  std::uint64_t line = 4;
  for (const Run& run : runs) {
    for (int i = 0; i < kSeriesCount; ++i) {
      want.columns[i].insert(want.columns[i].end(), run.rows, run.record.columns[i][0]);
      const ReferenceNotNumbers& n = run.record.not_numbers[i];
      ReferenceNotNumbers& all = want.not_numbers[i];
      if (n.count > 0 && all.count == 0) all = {0, shown(n.first), line};
      all.count += n.count * run.rows;
    }
    line += run.rows;
  }
  check_reading(text, false, 1, want);
  check_reading(text, false, 3, want);
  check_reading(text, true, 2, want);
  return 0;
}
