#include "input/table_scanner.h"

#include <cstring>

#include "input/parse_value.h"

namespace {

constexpr std::array<bool, 256> kBlank = [] {
  std::array<bool, 256> blank{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) blank[c] = true;
  return blank;
}();

bool blank(char c) { return kBlank[static_cast<unsigned char>(c)]; }

}  // namespace

TableScanner::TableScanner(SeriesTable& series) {
  for (int i = 0; i < SeriesTable::kSize; ++i) values_[i] = &series.at(i).values;
}

std::size_t TableScanner::whole_words(std::string_view bytes) {
  std::size_t n = bytes.size();
  while (n > 0 && !blank(bytes[n - 1])) --n;
  return n;
}

void TableScanner::scan(std::string_view bytes) {
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  while (p < end) {
    if (headers_done_ < 3 || skipping_line_) {
      const char* nl = static_cast<const char*>(std::memchr(p, '\n', end - p));
      const char* stop = nl ? nl : end;
      if (headers_done_ < 3) headers_[headers_done_].append(p, stop);
      if (!nl) return;
      if (headers_done_ < 3) {
        ++headers_done_;
      } else {
        skipping_line_ = false;
      }
      p = nl + 1;
      continue;
    }
    while (p < end && blank(*p)) ++p;
    if (p == end) return;
    const char* word = p;
    while (p < end && !blank(*p)) ++p;
    if (field_ > 0) pending_[field_ - 1] = parse_value(word, p);
    if (++field_ == 8) {
      for (int i = 0; i < SeriesTable::kSize; ++i) values_[i]->push_back(pending_[i]);
      field_ = 0;
      // The character after the eighth field is not taken: if it is the LF, it ends the
      // skipped rest of the line at once.
      skipping_line_ = true;
    }
  }
}
