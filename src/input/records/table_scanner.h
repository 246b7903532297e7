// The record rules of the input table, applied to bytes as they arrive.
//
// Three header lines (each up to its LF) are passed over, uninterpreted and unkept. After them,
// records are counted by fields, not lines: white-space-delimited words are taken eight at a time,
// crossing line breaks as needed; field 1 is ignored and fields 2 to 8 are the values of series 0
// to 6. Once the eighth field is taken, the rest of its line is passed over. White space is the
// classic locale's (space, \t, \n, \v, \f, \r), so CR LF rows read like LF rows.
//
// A final record with all eight fields counts even without a line break after it; a final
// record with fewer than eight fields contributes nothing.
//
// The scanner is a plain value: a copy taken between two scan() calls resumes the table from
// the same byte. That is how a table too large to hold is read a second time, and how a piece
// of a table read on its own is checked against where the piece before it really ended.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

#include "base/series_count.h"
#include "input/records/field_scan.h"
#include "input/records/not_numbers.h"
#include "input/records/parse_value.h"

namespace histchart {

class TableScanner {
 public:
  struct Record {
    double operator[](int i) const {
      return value_code::coded(codes[i]) ? value_code::value(codes[i]) : others[i];
    }

    // A value with a code (value_code.h) is only its code: the division that makes the double
    // waits until the double is needed, and most readers of a record need only the code.
    std::array<std::uint32_t, kSeriesCount> codes{};
    std::array<double, kSeriesCount> others{};  // the values without a code
    std::uint8_t not_numbers = 0;               // bit i set: the field of series i is not a number
    std::array<FieldNote, kSeriesCount> notes;  // valid where not_numbers has the bit set
  };

  TableScanner() = default;
  // A scanner that stands at `offset`, past the header lines, at a line start with no record
  // open: the guess a piece of a table is read with before it is known where the piece before
  // it ended.
  static TableScanner at_line_start(std::uint64_t offset);

  // Calls on_record(const Record&) for each record completed in `bytes`, the next bytes of the
  // table. Returns how many bytes were taken: all of them, or fewer when
  //  - on_record returned false: the scan stops right after that record's eighth field;
  //  - `bytes` ends inside a word and `last` is false: the word is left for the next call,
  //    which must present it again together with the bytes that follow it.
  // `last` says that the table (or the stretch being read) ends with `bytes`.
  template <class OnRecord>
  std::size_t scan(std::string_view bytes, OnRecord&& on_record, bool last = false);

  // Past the header lines at a line start with no record open: from here on the table reads
  // the same whatever came before.
  bool at_record_start() const { return headers_done_ == 3 && field_ == 0 && !skipping_line_; }
  bool past_headers() const { return headers_done_ == 3; }
  // Offset in the table of the next byte to scan.
  std::uint64_t offset() const { return offset_; }
  // Line breaks passed since the scanner started. A piece read on its own counts from its
  // start; shift_lines(n) makes its count (and its open record's notes) whole-table ones.
  std::uint64_t lines() const { return lines_; }
  void shift_lines(std::uint64_t n);

  // Length of the longest prefix of `bytes` that ends in white space.
  static std::size_t whole_words(std::string_view bytes);
  static bool blank(char c) { return kBlank[static_cast<unsigned char>(c)]; }

 private:
  static const std::array<bool, 256> kBlank;

  // A field of another form than the short one: parsed in full, and noted if it is not a
  // number (`offset` and `lines`: where it starts, and the LFs before it).
  void take_other(int series, const char* word, const char* end, std::uint64_t offset,
                  std::uint64_t lines);

  int headers_done_ = 0;
  int field_ = 0;  // fields taken of the open record
  bool skipping_line_ = false;
  std::uint64_t offset_ = 0;
  std::uint64_t lines_ = 0;
  Record record_{};
};

template <class OnRecord>
std::size_t TableScanner::scan(std::string_view bytes, OnRecord&& on_record, bool last) {
  const char* const begin = bytes.data();
  const std::size_t size = bytes.size();
  FieldFinder fields(bytes);
  // The state in locals while the scan runs: on_record may see the record but not them.
  int field = field_;
  bool skipping = skipping_line_ || headers_done_ < 3;
  std::size_t p = 0;
  while (p < size) {
    if (skipping) {
      const std::size_t lf = fields.newline_from(p);
      if (lf == size) {
        p = size;
        break;
      }
      if (headers_done_ < 3) ++headers_done_;
      skipping = headers_done_ < 3;
      p = lf + 1;
      continue;
    }
    if (field == 0) {
      // A record whose words are all at hand, with room to read ahead after each.
      if (const std::uint16_t* words = fields.eight_words(p, kReadAhead)) {
        const std::size_t base = fields.base();
        for (int i = 1; i < 8; ++i) {
          const std::size_t word = base + words[2 * i], end = base + words[2 * i + 1];
          const ShortNumber n = parse_short(begin + word, begin + end);
          if (n.exact) [[likely]] {
            record_.codes[i - 1] = n.code;
            record_.others[i - 1] = n.other;
          } else {
            take_other(i - 1, begin + word, begin + end, offset_ + word,
                       lines_ + fields.newlines_before(word));
          }
        }
        p = base + words[15];
        skipping = true;
        const bool go_on = on_record(std::as_const(record_));
        record_.not_numbers = 0;
        if (!go_on) break;
        continue;
      }
    }
    const auto [word, end] = fields.word_from(p);
    if (word == size) {
      p = size;
      break;
    }
    if (end == size && !last) {
      p = word;
      break;
    }
    p = end;
    if (field > 0) {
      const char* const first = begin + word;
      ShortNumber n{false};
      if (size - word >= kReadAhead) [[likely]] {
        n = parse_short(first, begin + end);
      } else if (end - word <= kShortField) {
        // Near the end of the view, where the bytes parse_short reads ahead may not be there.
        char copy[kReadAhead] = {};
        std::memcpy(copy, first, end - word);
        n = parse_short(copy, copy + (end - word));
      }
      if (n.exact) [[likely]] {
        record_.codes[field - 1] = n.code;
        record_.others[field - 1] = n.other;
      } else {
        take_other(field - 1, first, begin + end, offset_ + word,
                   lines_ + fields.newlines_before(word));
      }
    }
    if (++field == 8) {
      field = 0;
      // The character after the eighth field is not taken: if it is the LF, it ends the
      // skipped rest of the line at once.
      skipping = true;
      const bool go_on = on_record(std::as_const(record_));
      record_.not_numbers = 0;
      if (!go_on) break;
    }
  }
  field_ = field;
  skipping_line_ = skipping && headers_done_ == 3;
  lines_ += fields.newlines_before(p);
  offset_ += p;
  return p;
}

}  // namespace histchart
