// Fields of one series that are not numbers: how many, and the first of them in the table.
//
// Such a field keeps the value atof gives it (0, or its leading number), so the charts are
// those the table has always given; the report only makes it visible. Tallies of pieces of a
// table read apart merge into what one reading from the start gives: the first field is the
// one with the lowest offset, whichever piece saw it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace histchart {

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

struct NotNumbers {
  void add(const FieldNote& note) {
    if (count++ == 0 || note.offset < first.offset) first = note;
  }
  void merge(const NotNumbers& other) {
    if (other.count == 0) return;
    if (count == 0 || other.first.offset < first.offset) first = other.first;
    count += other.count;
  }

  std::uint64_t count = 0;
  FieldNote first;  // valid when count > 0
};

// The report line for a series, without its line break:
//   histchart: fields read as 0 or their leading number in 'CH4': 40 are not numbers, the first
//   'NA' on line 13
// or, for a single field, "...: 1 is not a number, 'NA' on line 13".
// The field is shown as it stands, at most FieldNote::kKept bytes of it and then "...", with
// control bytes written as printable() writes them.
// REQUIRES: count > 0.
std::string not_numbers_line(std::string_view short_name, const NotNumbers& tally);

}  // namespace histchart
