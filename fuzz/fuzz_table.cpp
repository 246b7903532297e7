// From bytes to bins: the table reader over arbitrary bytes (held to the plain reference
// reading), then the binning with a bin count in the accepted range, then the chart layout.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "binning/binning.h"
#include "driver/bin_count.h"
#include "driver/series.h"
#include "fuzz_checks.h"
#include "input/table_scanner.h"
#include "support/reference_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // Half the inputs take small counts, where most edge cases live; the rest span the range.
  const int bin_count =
      1 + (data[0] & 0x80 ? (data[0] << 8 | data[1]) % kMaxBinCount : data[1] % 64);
  const std::string text(reinterpret_cast<const char*>(data) + 2, size - 2);

  SeriesTable table;
  TableScanner scanner(table);
  // Chunks cut after white space, as the file reader cuts them.
  std::string_view rest = text;
  while (!rest.empty()) {
    std::size_t cut = TableScanner::whole_words(rest.substr(0, 1 + rest.size() / 3));
    if (cut == 0) cut = rest.size();
    scanner.scan(rest.substr(0, cut));
    rest.remove_prefix(cut);
  }
  const ReferenceColumns expected = reference_read(text);
  for (int i = 0; i < table.size(); ++i) {
    const Values& got = table.at(i).values;
    FUZZ_CHECK(got.size() == expected[i].size());
    FUZZ_CHECK(got.empty() || std::memcmp(got.data(), expected[i].data(), got.size() * 8) == 0);
  }

  for (Series& s : table) {
    remove_non_finite(s.values);
    bin_values(s.values, bin_count, s.bins);
    std::size_t total = 0;
    for (std::size_t b = 0; b < s.bins.size(); ++b) {
      const Bin& bin = s.bins[b];
      FUZZ_CHECK(bin.count == static_cast<int>(bin.elements.size()));
      FUZZ_CHECK(b == 0 || bin.left == s.bins[b - 1].right);
      total += bin.elements.size();
    }
    FUZZ_CHECK(s.bins.size() <= 2 * static_cast<std::size_t>(bin_count) + 2);
    if (!s.bins.empty()) {
      FUZZ_CHECK(total == s.values.size());
      FUZZ_CHECK(s.bins.back().count >= 1);
    }
  }
  // One chart is enough here, and a modest one: fuzz_chart takes the layout over arbitrary
  // bins, and a wide chart's shapes would slow every run down.
  if (table.at(0).bins.size() <= 1000) check_layout(table.at(0).bins, table.at(0).title);
  return 0;
}
