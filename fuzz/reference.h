// Deliberately plain readings of the table and the binning rules, to hold the fast code to.
//
// reference_read: a standard input stream, word extraction with >>, atof per field, a
// character loop over the rest of the line, and the last pass taken back unless its eight
// fields were all there. A field is not a number where strtod stops short of its end; each
// series' first such field is kept whole, with the line it starts on.
// reference_bins: sort, then one forward walk that closes a bin each time it passes the
// bin's right edge, as the bins were first made.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "binning/bin.h"

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

inline ReferenceColumns reference_read(const std::string& text) {
  return reference_table(text).columns;
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
  const double width = (max - min) / bin_count;
  auto next_edge = [&](double left) {
    const double right = left + width;
    return right == left && left < max ? max : right;
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

// Same counts and bit-identical edges (-0.0 is not 0.0 here: it is drawn as "-0").
inline bool same_bins(const std::vector<Bin>& a, const std::vector<Bin>& b) {
  auto same = [](double x, double y) { return x == y && std::signbit(x) == std::signbit(y); };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [&](auto& p, auto& q) {
           return p.count == q.count && same(p.left, q.left) && same(p.right, q.right);
         });
}
