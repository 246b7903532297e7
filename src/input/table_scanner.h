// The record rules of the input table, applied to bytes as they arrive.
//
// Three header lines (each up to its LF) are passed over. After them, records are counted by
// fields, not lines: white-space-delimited words are taken eight at a time, crossing line
// breaks as needed; field 1 is ignored and fields 2 to 8 are the values of series 0 to 6.
// Once the eighth field is taken, the rest of its line is passed over. White space is the
// classic locale's (space, \t, \n, \v, \f, \r), so CR LF rows read like LF rows.
//
// A final record with all eight fields counts even without a line break after it; a final
// record with fewer than eight fields contributes nothing.
//
// The scanner is a plain value: a copy taken between two scan() calls resumes the table from
// the same byte, which is how a table too large to hold is read a second time.
#pragma once

#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "input/parse_value.h"

class TableScanner {
 public:
  using Record = std::array<double, 7>;

  // Length of the longest prefix of `bytes` that ends in white space: a chunk cut there never
  // splits a word, which is what scan() needs.
  static std::size_t whole_words(std::string_view bytes);

  // Calls on_record(const Record&) for each record completed in `bytes`; when it returns
  // false, stops right after that record's eighth field and returns how many bytes were taken
  // (the rest is for the next call). Otherwise returns bytes.size().
  // REQUIRES: the next bytes of the table; `bytes` ends in white space unless the table ends
  // with it (so that no word is split between two calls).
  template <class OnRecord>
  std::size_t scan(std::string_view bytes, OnRecord&& on_record);

  const std::array<std::string, 3>& headers() const { return headers_; }

 private:
  static bool blank(char c) { return kBlank[static_cast<unsigned char>(c)]; }
  static const std::array<bool, 256> kBlank;

  std::array<std::string, 3> headers_;
  int headers_done_ = 0;
  int field_ = 0;  // fields taken of the open record
  bool skipping_line_ = false;
  Record record_{};
};

template <class OnRecord>
std::size_t TableScanner::scan(std::string_view bytes, OnRecord&& on_record) {
  const char* const begin = bytes.data();
  const char* const end = begin + bytes.size();
  const char* p = begin;
  while (p < end) {
    if (headers_done_ < 3 || skipping_line_) {
      // Most rows end right after their eighth field: no search for that.
      const char* nl = *p == '\n' ? p : static_cast<const char*>(std::memchr(p, '\n', end - p));
      const char* stop = nl ? nl : end;
      if (headers_done_ < 3) headers_[headers_done_].append(p, stop);
      if (!nl) break;
      if (headers_done_ < 3) {
        ++headers_done_;
      } else {
        skipping_line_ = false;
      }
      p = nl + 1;
      continue;
    }
    while (p < end && blank(*p)) ++p;
    if (p == end) break;
    const char* word = p;
    while (p < end && !blank(*p)) ++p;
    if (field_ > 0) record_[field_ - 1] = parse_value(word, p);
    if (++field_ == 8) {
      field_ = 0;
      // The character after the eighth field is not taken: if it is the LF, it ends the
      // skipped rest of the line at once.
      skipping_line_ = true;
      if (!on_record(std::as_const(record_))) return static_cast<std::size_t>(p - begin);
    }
  }
  return bytes.size();
}
