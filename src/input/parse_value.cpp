#include "input/parse_value.h"

#include <fast_float/fast_float.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The forms for which fast_float and strtod agree by construction: an optional '-', then a
// digit, or a '.' followed by a digit, and no hexadecimal prefix.
bool fast_form(const char* p, const char* last) {
  if (p != last && *p == '-') ++p;
  if (p == last) return false;
  if (*p == '.') return p + 1 != last && is_digit(p[1]);
  if (!is_digit(*p)) return false;
  return !(*p == '0' && p + 1 != last && (p[1] == 'x' || p[1] == 'X'));
}

}  // namespace

FieldValue parse_other(const char* first, const char* last) {
  if (fast_form(first, last)) {
    double value = 0;
    const auto result = fast_float::from_chars(first, last, value);
    // An overflow is left to strtod, which alone decides what atof returns for it.
    if (result.ec == std::errc() && std::isfinite(value)) return {value, result.ptr == last};
  }
  const std::string word(first, last);
  char* end = nullptr;
  const double value = std::strtod(word.c_str(), &end);
  return {value, end == word.c_str() + word.size()};
}
