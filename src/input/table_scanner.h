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

#include "input/parse_value.h"
#include "input/series_count.h"

// A field that is not a number, kept as the report shows it: where it starts and its first
// bytes.
struct FieldNote {
  static constexpr std::size_t kKept = 40;

  std::uint64_t offset = 0;  // of its first byte in the (decompressed) table
  std::uint64_t line = 0;    // 1-based, counted from where the scanner started
  std::uint8_t size = 0;     // bytes kept in `text`
  bool longer = false;       // the field goes on beyond them
  std::array<char, kKept> text{};
};

class TableScanner {
 public:
  struct Record {
    double operator[](int i) const { return values[i]; }

    std::array<double, kSeriesCount> values{};
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

  void note(const char* word, const char* end, std::uint64_t offset);

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
  const char* const end = begin + bytes.size();
  const char* p = begin;
  while (p < end) {
    if (headers_done_ < 3 || skipping_line_) {
      // Most rows end right after their eighth field: no search for that.
      const char* nl = *p == '\n' ? p : static_cast<const char*>(std::memchr(p, '\n', end - p));
      if (!nl) {
        p = end;
        break;
      }
      ++lines_;
      if (headers_done_ < 3) {
        ++headers_done_;
      } else {
        skipping_line_ = false;
      }
      p = nl + 1;
      continue;
    }
    // Counting line breaks here costs next to nothing and numbers every line exactly, whichever
    // state the scanner is in.
    for (; p < end && blank(*p); ++p) lines_ += *p == '\n';
    if (p == end) break;
    const char* word = p;
    // A field in the plain number form is parsed as its end is found: its bytes are read once.
    const PlainNumber plain = field_ > 0 ? parse_plain(word, end) : PlainNumber{0, word, false};
    if (plain.exact && (plain.end != end ? blank(*plain.end) : last)) {
      p = plain.end;
      record_.values[field_ - 1] = plain.value;
    } else {
      for (p = plain.end; p < end && !blank(*p);) ++p;
      if (p == end && !last) {
        p = word;
        break;
      }
      if (field_ > 0) {
        const FieldValue field = parse_value(word, p);
        record_.values[field_ - 1] = field.value;
        if (!field.number) [[unlikely]] {
          note(word, p, offset_ + static_cast<std::uint64_t>(word - begin));
        }
      }
    }
    if (++field_ == 8) {
      field_ = 0;
      // The character after the eighth field is not taken: if it is the LF, it ends the
      // skipped rest of the line at once.
      skipping_line_ = true;
      const bool go_on = on_record(std::as_const(record_));
      record_.not_numbers = 0;
      if (!go_on) break;
    }
  }
  const auto taken = static_cast<std::size_t>(p - begin);
  offset_ += taken;
  return taken;
}
