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
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "fuzz_checks.h"
#include "input/input_file.h"
#include "reference.h"

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

using Counts = std::map<std::uint64_t, std::uint64_t>;  // a value's bits: how many

std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// The table from a file, or from a pipe fed by a thread of its own.
void check_reading(const std::string& text, bool pipe, int cpus, const std::vector<Run>& runs) {
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
  std::vector<Row> rows;
  FUZZ_CHECK(!table.records.for_each(1, [&](int, std::span<const Row> batch) {
    rows.insert(rows.end(), batch.begin(), batch.end());
  }));

  for (int i = 0; i < kSeriesCount; ++i) {
    Counts want, got;
    ValueRange range;
    std::uint64_t not_numbers = 0, line = 4;
    const ReferenceNotNumbers* first = nullptr;
    for (const Run& run : runs) {
      const double v = run.record.columns[i][0];
      want[bits(v)] += run.rows;
      range.add(v);
      const ReferenceNotNumbers& n = run.record.not_numbers[i];
      if (n.count > 0 && not_numbers == 0) first = &n;
      not_numbers += n.count * run.rows;
      if (not_numbers == 0) line += run.rows;
    }
    // Rows come in runs of one value: counted a run at a time.
    std::uint64_t last = 0, same = 0;
    auto add = [&](double v) {
      if (same > 0 && bits(v) == last) {
        ++same;
        return;
      }
      if (same > 0) got[last] += same;
      last = bits(v);
      same = 1;
    };
    for (const Row& row : rows) add(row[i]);
    if (same > 0) got[last] += same;
    FUZZ_CHECK(got == want);
    const ValueRange& measured = table.ranges[i];
    FUZZ_CHECK(bits(measured.min) == bits(range.min) && bits(measured.max) == bits(range.max));
    const NotNumbers& n = table.not_numbers[i];
    FUZZ_CHECK(n.count == not_numbers);
    FUZZ_CHECK(n.count == 0 ||
               (n.first.line == line && std::string(n.first.text.data(), n.first.size) ==
                                            first->first.substr(0, FieldNote::kKept)));
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
  check_reading(text, false, 1, runs);
  check_reading(text, false, 3, runs);
  check_reading(text, true, 2, runs);
  return 0;
}
