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

// Powers of ten up to 1e22, the largest a double holds exactly.
constexpr std::array<double, 23> kPowersOfTen = [] {
  std::array<double, 23> powers{};
  double p = 1;
  for (double& power : powers) {
    power = p;
    p *= 10;
  }
  return powers;
}();

}  // namespace

FieldValue parse_value(const char* first, const char* last) {
  // The plain form of nearly every field, [-]digits[.digits]: when its digits make an integer
  // that a double holds exactly (at most 2^53) and it has at most 22 decimals, one division by
  // an exact power of ten is correctly rounded, so it gives what atof gives, and fast.
  const char* p = first;
  const bool negative = p != last && *p == '-';
  p += negative;
  std::uint64_t mantissa = 0;
  auto take_digits = [&] {
    const char* start = p;
    for (unsigned digit; p != last && (digit = static_cast<unsigned char>(*p) - '0') < 10; ++p) {
      mantissa = mantissa * 10 + digit;
    }
    return static_cast<int>(p - start);
  };
  int digits = take_digits();
  int decimals = 0;
  if (p != last && *p == '.') {
    ++p;
    decimals = take_digits();
    digits += decimals;
  }
  if (p == last && digits > 0 && digits <= 19 && mantissa <= (std::uint64_t{1} << 53) &&
      decimals < static_cast<int>(kPowersOfTen.size())) {
    const double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
    return {negative ? -value : value, true};
  }
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
