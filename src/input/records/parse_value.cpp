#include "input/records/parse_value.h"

#include <fast_float/fast_float.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace histchart {

namespace {

struct DigitRun {
  std::uint64_t value;
  int count;
};

constexpr std::array<std::uint64_t, 9> kDigitScale = {1,      10,      100,      1000,     10000,
                                                      100000, 1000000, 10000000, 100000000};

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

// A run of up to eight digits at `p`, none at or past `last`: its value and how many.
DigitRun digit_run(const char* p, const char* last) {
  const std::uint64_t digits = load_digits(p);
  const auto count = static_cast<int>(
      std::min<std::ptrdiff_t>(std::countr_zero(not_digits(digits)) / 8, last - p));
  if (count == 0) return {0, 0};
  return {eight_digits(digits << (64 - 8 * count)), count};
}

}  // namespace

ShortNumber parse_short_in_full(const char* first, const char* last) {
  if (FLT_EVAL_METHOD != 0 || last - first > kShortField) return {false};
  const char* p = first;
  const bool negative = p != last && *p == '-';
  p += negative;
  std::uint64_t w = 0;  // wraps past 19 digits, which are refused
  auto take_digits = [&] {
    int taken = 0;
    DigitRun run;
    do {
      run = digit_run(p, last);
      w = w * kDigitScale[run.count] + run.value;
      p += run.count;
      taken += run.count;
    } while (run.count == 8);
    return taken;
  };
  int digits = take_digits();
  int exponent = 0;
  if (p != last && *p == '.') {
    ++p;
    const int decimals = take_digits();
    digits += decimals;
    exponent = -decimals;
  }
  if (p != last) {
    if ((*p | 0x20) != 'e') return {false};
    ++p;
    const bool down = p != last && *p == '-';
    p += p != last && (*p == '-' || *p == '+');
    // More than eight exponent digits are left to the general path.
    const DigitRun power = digit_run(p, last);
    if (power.count == 0 || p + power.count != last) return {false};
    exponent += down ? -static_cast<int>(power.value) : static_cast<int>(power.value);
  }
  if (digits == 0 || digits > 19 || w > (std::uint64_t{1} << 53) || exponent < -22 ||
      exponent > 22) {
    return {false};
  }
  const auto m = static_cast<double>(w);
  const double value = exponent < 0 ? m / kPowersOfTen[-exponent] : m * kPowersOfTen[exponent];
  // The code divides in the same way; a positive exponent makes an integer, exact below 2^53.
  std::uint32_t code = value_code::kNone;
  if (w <= value_code::kMostDigits) {
    if (exponent <= 0 && exponent >= -value_code::kMostDecimals) {
      code = value_code::make(negative, -exponent, w);
    } else if (exponent > 0 && exponent <= 8) {  // no overflow: below 2^27 * 10^8
      const std::uint64_t whole = w * static_cast<std::uint64_t>(kPowersOfTen[exponent]);
      if (whole <= value_code::kMostDigits) code = value_code::make(negative, 0, whole);
    }
  }
  return {true, code, negative ? -value : value};
}

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

}  // namespace histchart
