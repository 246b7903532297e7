#include "input/table_scanner.h"

const std::array<bool, 256> TableScanner::kBlank = [] {
  std::array<bool, 256> blank{};
  for (unsigned char c : {' ', '\t', '\n', '\v', '\f', '\r'}) blank[c] = true;
  return blank;
}();

std::size_t TableScanner::whole_words(std::string_view bytes) {
  std::size_t n = bytes.size();
  while (n > 0 && !blank(bytes[n - 1])) --n;
  return n;
}
