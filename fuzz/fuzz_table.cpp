// From bytes to bins: the table scanner over arbitrary bytes cut anywhere (held to the plain
// reference reading, also when it stops at some record and reads on from there), the reader
// in pieces and in blocks (held to one reading from the start), then the counting with a bin
// count in the accepted range (held to the reference sort and walk), then the chart layout.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

#include "base/failure.h"
#include "binning/bin_counter.h"
#include "driver/bin_count.h"
#include "fuzz_checks.h"
#include "input/bytes/table_format.h"
#include "input/input_file.h"
#include "input/reading_cuts.h"
#include "input/records/table_scanner.h"
#include "reference.h"

using namespace histchart;

namespace {

// The reader over a file in memory, cut into pieces every `step` bytes (a few dozen at most);
// or over a pipe, in blocks of `step` bytes.
void check_reader(const std::string& text, std::size_t step, bool blocks,
                  const ReferenceTable& expected) {
  const int fd = blocks ? -1 : ::memfd_create("table", 0);
  int pipe_ends[2] = {-1, -1};
  if (blocks) FUZZ_CHECK(::pipe(pipe_ends) == 0);
  const int write_to = blocks ? pipe_ends[1] : fd;
  FUZZ_CHECK(::write(write_to, text.data(), text.size()) == static_cast<ssize_t>(text.size()));
  if (blocks) ::close(pipe_ends[1]);
  const std::string path = "/proc/self/fd/" + std::to_string(blocks ? pipe_ends[0] : fd);
  const bool compressed = sniff_compression(text) != Compression::none;
  ReadOptions options;
  options.cpus = 3;
  // A pipe's arena is mapped at the size of its budget for each input: a small one. A file's is
  // mapped at most for what it can hold, and each of its many pieces takes a chunk: no limit.
  // A compressed table's decoder may ask for a window of gigabytes: a limit refuses it.
  if (blocks || compressed) options.memory_limit = std::size_t{96} << 20;
  ReadingCuts cuts;
  if (blocks) cuts.block_size = step;
  // Each piece fills in a chunk's 2 MiB as it takes it: thousands of one-byte pieces would take
  // gigabytes, and the fuzzer's memory limit with them. The last piece takes what is left.
  constexpr std::size_t kMostPieces = 64;
  for (std::uint64_t start = step;
       !blocks && start < text.size() && cuts.piece_starts.size() + 1 < kMostPieces; start += step)
    cuts.piece_starts.push_back(start);
  TableReading table;
  bool text_only = !compressed;
  try {
    check_text(std::string_view(text).substr(0, kTextCheckBytes));
  } catch (const Failure&) {
    text_only = false;
  }
  // Whether a compressed table decodes, and to what, fuzz_source checks.
  if (!InputFile(path).read(options, cuts, table) && !compressed) {
    FUZZ_CHECK(text_only);
    ReferenceTable got;
    FUZZ_CHECK(!take_records(table, got));
    FUZZ_CHECK(same(canonical(got), canonical(expected)));
    for (int i = 0; i < kSeriesCount; ++i)
      FUZZ_CHECK(same_range(table.ranges[i], range_of(expected.columns[i])));
  } else {
    FUZZ_CHECK(!text_only);  // refused as not text, or compressed
  }
  ::close(blocks ? pipe_ends[0] : fd);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 4) return 0;
  // Half the inputs take small counts, where most edge cases live; the rest span the range.
  const int bin_count =
      1 + (data[0] & 0x80 ? (data[0] << 8 | data[1]) % kMaxBinCount : data[1] % 64);
  const std::size_t stop_after = data[2] % 8;  // records before the reader stops holding
  const std::size_t step = 1 + data[3] % 48;   // bytes a piece or a block
  const std::string text(reinterpret_cast<const char*>(data) + 4, size - 4);
  const ReferenceTable expected = reference_table(text);

  ReferenceColumns got(7);
  auto take = [&](const TableScanner::Record& r) {
    for (int i = 0; i < kSeriesCount; ++i) got[i].push_back(r[i]);
    return got[0].size() != stop_after;
  };
  TableScanner scanner;
  // Views cut anywhere: a word cut in two is presented again with the next view, and a scan
  // that stopped goes on with the rest of its view.
  const std::string_view view(text);
  for (std::size_t from = 0, to = 0, stopped = false;;) {
    if (!stopped) to = std::min(text.size(), to + step);
    const std::size_t before = got[0].size();
    from += scanner.scan(view.substr(from, to - from), take, to == text.size());
    stopped = before < stop_after && got[0].size() == stop_after;
    if (!stopped && to == text.size()) break;
  }
  for (int i = 0; i < kSeriesCount; ++i) FUZZ_CHECK(same_values(got[i], expected.columns[i]));
  check_reader(text, step, false, expected);
  check_reader(text, step, true, expected);

  std::vector<Bin> first_bins;
  for (int i = 0; i < kSeriesCount; ++i) {
    BinCounter counter(range_of(got[i]), bin_count);
    for (double v : got[i]) counter.add(v);
    FUZZ_CHECK(counter.complete());
    const std::vector<Bin> bins = counter.bins();
    FUZZ_CHECK(same_bins(bins, reference_bins(got[i], bin_count)));
    FUZZ_CHECK(bins.size() <= 2 * static_cast<std::size_t>(bin_count) + 2);
    FUZZ_CHECK(bins.empty() || bins.back().count >= 1);
    if (i == 0) first_bins = bins;
  }
  // One chart is enough here, and a modest one: fuzz_chart takes the layout over arbitrary
  // bins, and a wide chart's shapes would slow every run down.
  if (first_bins.size() <= 1000) check_layout(first_bins, "dSOC ( kg C/ha )");
  return 0;
}
