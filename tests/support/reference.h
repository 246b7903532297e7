// Deliberately plain readings of the table and the binning rules, to hold the fast code to.
//
// reference_table: a standard input stream, word extraction with >>, atof per field, a
// character loop over the rest of the line, and the last pass taken back unless its eight
// fields were all there. A field is not a number where strtod stops short of its end; each
// series' first such field is kept whole, with the line it starts on.
// reference_parse: strtod, held to the reader's parse of one field.
// reference_bins: sort, then one forward walk that closes a bin each time it passes the
// bin's right edge, as the bins were first made.
// Then the comparisons, bit for bit, that the tests and the fuzz targets hold a reading to.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

#include "base/value_range.h"
#include "binning/bin.h"
#include "input/input_file.h"
#include "input/records/parse_value.h"

namespace histchart {

using ReferenceColumns = std::vector<std::vector<double>>;

struct ReferenceNotNumbers {
  std::uint64_t count = 0;
  std::string first;
  std::uint64_t line = 0;
  bool operator==(const ReferenceNotNumbers&) const = default;
};

struct ReferenceTable {
  ReferenceColumns columns = ReferenceColumns(7);
  std::vector<ReferenceNotNumbers> not_numbers = std::vector<ReferenceNotNumbers>(7);
};

inline ReferenceTable reference_table(const std::string& text) {
  std::istringstream in(text);
  ReferenceTable table;
  std::string header;
  for (int i = 0; i < 3; ++i) std::getline(in, header);
  std::uint64_t lines = 0, counted_to = 0;
  bool complete = false;
  do {
    std::string t[8];
    std::uint64_t line[8] = {};
    for (int f = 0; f < 8; ++f) {
      in >> std::ws;
      const auto at = static_cast<std::uint64_t>(in.tellg());
      if (in) {
        lines += static_cast<std::uint64_t>(
            std::count(text.begin() + counted_to, text.begin() + at, '\n'));
        counted_to = at;
        line[f] = lines + 1;
      }
      in >> t[f];
    }
    // An eighth field that ends the file still succeeds: only end of file is set.
    complete = !in.fail();
    for (int i = 0; i < 7; ++i) {
      const std::string& field = t[i + 1];
      table.columns[i].push_back(std::atof(field.c_str()));
      char* end = nullptr;
      std::strtod(field.c_str(), &end);
      ReferenceNotNumbers& n = table.not_numbers[i];
      if (complete && end != field.c_str() + field.size() && n.count++ == 0) {
        n.first = field;
        n.line = line[i + 1];
      }
    }
    for (char c; in.get(c) && c != '\n';) {
    }
  } while (!in.fail());
  if (!complete) {
    for (auto& column : table.columns) column.pop_back();
  }
  return table;
}

// Where the reader's parse of `field` is not strtod's, how; "" where it is: the value bit for
// bit and whether the field is a number, also from the short parse in place, with bytes of
// `digit` after the field (parse_short reads past its end).
inline std::string reference_parse(const std::string& field, char digit) {
  char* end = nullptr;
  const double want = std::strtod(field.c_str(), &end);
  const bool number = end == field.c_str() + field.size();
  const FieldValue got = parse_value(field.data(), field.data() + field.size());
  if (std::memcmp(&want, &got.value, sizeof want) != 0) return "the value of '" + field + "'";
  if (got.number != number) return "whether '" + field + "' is a number";
  if (field.size() <= static_cast<std::size_t>(kShortField)) {
    char bytes[kReadAhead + 8];
    std::memset(bytes, digit, sizeof bytes);
    std::memcpy(bytes, field.data(), field.size());
    const ShortNumber in_place = parse_short(bytes, bytes + field.size());
    const double value = in_place.number();
    if (in_place.exact && !(number && std::memcmp(&want, &value, sizeof want) == 0))
      return "'" + field + "' in place";
  }
  return "";
}

inline std::vector<Bin> reference_bins(std::vector<double> values, int bin_count) {
  std::vector<Bin> bins;
  std::erase_if(values, [](double v) { return !std::isfinite(v); });
  if (values.empty()) return bins;
  // -0.0 before +0.0, so that min and max are the same zero the counting takes.
  std::sort(values.begin(), values.end(), [](double a, double b) {
    return a < b || (a == b && std::signbit(a) && !std::signbit(b));
  });
  const double min = values.front();
  const double max = values.back();
  const double width =
      std::isfinite(max - min) ? (max - min) / bin_count : max / bin_count - min / bin_count;
  auto next_edge = [&](double left) {
    const double right = left + width;
    return (right == left || !std::isfinite(right)) && left < max ? max : right;
  };
  double left = min;
  double right = next_edge(left);
  std::int64_t count = 0;
  for (std::size_t i = 0; i < values.size();) {
    const double v = values[i];
    if ((left <= v && v < right) || v >= max) {
      ++count;
      ++i;
    } else {
      bins.emplace_back(count, left, right);
      count = 0;
      left = right;
      right = next_edge(left);
    }
  }
  if (left < max) bins.emplace_back(count, left, right);
  return bins;
}

inline std::uint64_t bits(double v) {
  std::uint64_t b;
  std::memcpy(&b, &v, sizeof b);
  return b;
}

// Same counts and bit-identical edges (-0.0 is not 0.0 here: it is drawn as "-0").
inline bool same_bins(const std::vector<Bin>& a, const std::vector<Bin>& b) {
  auto same = [](double x, double y) { return x == y && std::signbit(x) == std::signbit(y); };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](auto& p, auto& q) {
           return p.count == q.count && same(p.left, q.left) && same(p.right, q.right);
         });
}

inline bool same_values(const std::vector<double>& a, const std::vector<double>& b) {
  return a.size() == b.size() &&
         (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

inline ValueRange range_of(const std::vector<double>& values) {
  ValueRange range;
  for (const double v : values) range.add(v);
  return range;
}

inline bool same_range(const ValueRange& a, const ValueRange& b) {
  return bits(a.min) == bits(b.min) && bits(a.max) == bits(b.max) && a.finite == b.finite &&
         a.non_finite == b.non_finite;
}

// A report's first field as the program keeps it: its first 40 bytes, "..." where it goes on.
inline std::string shown(const std::string& field) {
  return field.size() > FieldNote::kKept ? field.substr(0, FieldNote::kKept) + "..." : field;
}

// Values in an order of their own (a reading hands them over in no particular one), and the
// reports' fields as they are kept.
inline ReferenceTable canonical(ReferenceTable table) {
  for (auto& column : table.columns) {
    std::sort(column.begin(), column.end(), [](double a, double b) { return bits(a) < bits(b); });
  }
  for (ReferenceNotNumbers& n : table.not_numbers) n.first = shown(n.first);
  return table;
}

inline bool same(const ReferenceTable& a, const ReferenceTable& b) {
  return std::equal(a.columns.begin(), a.columns.end(), b.columns.begin(), same_values) &&
         a.not_numbers == b.not_numbers;
}

// An order-free print of a column, bit for bit: for tables too large to sort.
struct Print {
  std::uint64_t size = 0, sum = 0, mixed = 0;
  bool operator==(const Print&) const = default;
};

inline Print print(const std::vector<double>& values) {
  Print p;
  for (const double v : values) {
    std::uint64_t x = bits(v);
    x = (x ^ x >> 31) * 0x9E3779B97F4A7C15;  // every bit moves the sum
    p.sum += x;
    p.mixed ^= x * 0xBF58476D1CE4E5B9 + (x >> 29);
    ++p.size;
  }
  return p;
}

// Every record of a reading (held or read again) as the counting takes it on `threads`
// threads, each batch handed to `also` too, into `table` in the order handed over; and the
// reports, their fields as they are kept.
inline MaybeFailure take_records(TableReading& reading, ReferenceTable& table, int threads = 1,
                                 const RowBatches& also = nullptr) {
  std::vector<std::vector<Row>> rows(static_cast<std::size_t>(threads));
  MaybeFailure failure =
      reading.records.for_each(threads, [&](int thread, std::span<const Row> batch) {
        if (also) also(thread, batch);
        auto& mine = rows[static_cast<std::size_t>(thread)];
        mine.insert(mine.end(), batch.begin(), batch.end());
      });
  table = {};
  std::size_t size = 0;
  for (const auto& mine : rows) size += mine.size();
  for (int i = 0; i < kSeriesCount; ++i) {
    table.columns[i].reserve(size);
    for (const auto& mine : rows) {
      for (const Row& row : mine) table.columns[i].push_back(row[i]);
    }
  }
  for (int i = 0; i < kSeriesCount; ++i) {
    const NotNumbers& n = reading.not_numbers[i];
    if (n.count == 0) continue;
    table.not_numbers[i] = {
        n.count, std::string(n.first.text.data(), n.first.size) + (n.first.longer ? "..." : ""),
        n.first.line};
  }
  return failure;
}

}  // namespace histchart
