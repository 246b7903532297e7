// The record rules of the input table, applied to bytes as they arrive.
//
// Three header lines (each up to its LF) are passed over. After them, records are counted by
// fields, not lines: white-space-delimited words are taken eight at a time, crossing line
// breaks as needed; field 1 is ignored and fields 2 to 8 append one value to series 0 to 6.
// Once the eighth field is taken, the rest of its line is passed over. White space is the
// classic locale's (space, \t, \n, \v, \f, \r), so CR LF rows read like LF rows.
//
// A final record with all eight fields counts even without a line break after it; a final
// record with fewer than eight fields contributes nothing.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "driver/series.h"

class TableScanner {
 public:
  explicit TableScanner(SeriesTable& series);

  // Length of the longest prefix of `bytes` that ends in white space: a chunk cut there never
  // splits a word, which is what scan() needs.
  static std::size_t whole_words(std::string_view bytes);

  // REQUIRES: the next bytes of the table; `bytes` ends in white space unless the table ends
  // with it (so that no word is split between two calls).
  void scan(std::string_view bytes);

  const std::array<std::string, 3>& headers() const { return headers_; }

 private:
  std::array<Values*, SeriesTable::kSize> values_;
  std::array<std::string, 3> headers_;
  int headers_done_ = 0;
  int field_ = 0;  // fields taken of the open record
  bool skipping_line_ = false;
  std::array<double, SeriesTable::kSize> pending_{};
};
