// From bytes to bins: the table reader over arbitrary bytes (held to the plain reference
// reading, also when it stops at some record and reads on from there), then
// the counting with a bin count in the accepted range (held to the reference sort and walk),
// then the chart layout.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "binning/binning.h"
#include "driver/bin_count.h"
#include "driver/series.h"
#include "fuzz_checks.h"
#include "input/table_scanner.h"
#include "reference.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 3) return 0;
  // Half the inputs take small counts, where most edge cases live; the rest span the range.
  const int bin_count =
      1 + (data[0] & 0x80 ? (data[0] << 8 | data[1]) % kMaxBinCount : data[1] % 64);
  const std::size_t stop_after = data[2] % 8;  // records before the reader stops holding
  const std::string text(reinterpret_cast<const char*>(data) + 3, size - 3);

  ReferenceColumns got(7);
  auto take = [&](const TableScanner::Record& r) {
    for (int i = 0; i < 7; ++i) got[i].push_back(r[i]);
    return got[0].size() != stop_after;
  };
  TableScanner scanner;
  // Chunks cut after white space, as the file reader cuts them.
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t cut = TableScanner::whole_words(rest.substr(0, 1 + rest.size() / 3));
    if (cut == 0) cut = rest.size();
    rest.remove_prefix(scanner.scan(rest.substr(0, cut), take));
  }
  const ReferenceColumns expected = reference_read(text);
  for (int i = 0; i < 7; ++i) {
    FUZZ_CHECK(got[i].size() == expected[i].size());
    FUZZ_CHECK(got[i].empty() ||
               std::memcmp(got[i].data(), expected[i].data(), got[i].size() * sizeof(double)) == 0);
  }

  SeriesTable table;
  for (int i = 0; i < 7; ++i) {
    ValueRange range;
    for (double v : got[i]) range.add(v);
    BinCounter counter(range, bin_count);
    for (double v : got[i]) counter.add(v);
    FUZZ_CHECK(counter.complete());
    const std::vector<Bin> bins = counter.bins();
    FUZZ_CHECK(same_bins(bins, reference_bins(got[i], bin_count)));
    FUZZ_CHECK(bins.size() <= 2 * static_cast<std::size_t>(bin_count) + 2);
    FUZZ_CHECK(bins.empty() || bins.back().count >= 1);
    table.at(i).bins = bins;
  }
  // One chart is enough here, and a modest one: fuzz_chart takes the layout over arbitrary
  // bins, and a wide chart's shapes would slow every run down.
  if (table.at(0).bins.size() <= 1000) check_layout(table.at(0).bins, table.at(0).title);
  return 0;
}
