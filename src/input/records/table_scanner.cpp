#include "input/records/table_scanner.h"

#include <algorithm>

namespace histchart {

const std::array<bool, 256> TableScanner::kBlank = [] {
  std::array<bool, 256> blank{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) blank[c] = true;
  return blank;
}();

TableScanner TableScanner::at_line_start(std::uint64_t offset) {
  TableScanner scanner;
  scanner.headers_done_ = 3;
  scanner.offset_ = offset;
  return scanner;
}

std::size_t TableScanner::whole_words(std::string_view bytes) {
  std::size_t n = bytes.size();
  while (n > 0 && !blank(bytes[n - 1])) --n;
  return n;
}

void TableScanner::take_other(int series, const char* word, const char* end, std::uint64_t offset,
                              std::uint64_t lines) {
  const FieldValue field = parse_other(word, end);
  record_.others[series] = field.value;
  record_.codes[series] = value_code::kNone;
  if (field.number) return;
  record_.not_numbers |= static_cast<std::uint8_t>(1u << series);
  FieldNote& n = record_.notes[series];
  const auto length = static_cast<std::size_t>(end - word);
  n.offset = offset;
  n.line = lines + 1;
  n.size = static_cast<std::uint8_t>(std::min(length, FieldNote::kKept));
  n.longer = length > FieldNote::kKept;
  std::memcpy(n.text.data(), word, n.size);
}

void TableScanner::shift_lines(std::uint64_t n) {
  lines_ += n;
  for (FieldNote& note : record_.notes) note.line += n;
}

}  // namespace histchart
