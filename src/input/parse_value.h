// Converts one field of the input table to a double exactly as the C library's atof would, and
// tells whether the field is a number at all.
#pragma once

#include <array>
#include <cstdint>

struct FieldValue {
  double value;
  // Whether strtod reads the field to its last character. A field that is not a number ("NA",
  // "-", "1.5e2x", "1,5") still has the value atof gives it: 0 or its leading number.
  bool number;
};

// Every form but the plain one (see parse_plain): fast_float where it agrees with strtod by
// construction, strtod for the rest (a leading '+', hexadecimal, inf/nan, out-of-range
// exponents, text without a leading number), so the result is bit-identical to atof.
FieldValue parse_other(const char* first, const char* last);

// Powers of ten up to 1e22, the largest a double holds exactly.
inline constexpr std::array<double, 23> kPowersOfTen = [] {
  std::array<double, 23> powers{};
  double p = 1;
  for (double& power : powers) {
    power = p;
    p *= 10;
  }
  return powers;
}();

// The plain form of nearly every field, [-]digits[.digits], read from `first` up to the first
// byte that does not belong to it (at most to `limit`). Where its digits make an integer that a
// double holds exactly (at most 2^53) and it has at most 22 decimals, one division by an exact
// power of ten is correctly rounded: then `exact` is true, and `value` is what atof gives for a
// field that ends at `end`.
struct PlainNumber {
  double value;
  const char* end;
  bool exact;
};

inline PlainNumber parse_plain(const char* first, const char* limit) {
  const char* p = first;
  const bool negative = p != limit && *p == '-';
  p += negative;
  std::uint64_t mantissa = 0;
  auto take_digits = [&] {
    const char* start = p;
    for (unsigned digit; p != limit && (digit = static_cast<unsigned char>(*p) - '0') < 10; ++p) {
      mantissa = mantissa * 10 + digit;
    }
    return static_cast<int>(p - start);
  };
  int digits = take_digits();
  int decimals = 0;
  if (p != limit && *p == '.') {
    ++p;
    decimals = take_digits();
    digits += decimals;
  }
  if (digits > 0 && digits <= 19 && mantissa <= (std::uint64_t{1} << 53) &&
      decimals < static_cast<int>(kPowersOfTen.size())) [[likely]] {
    const double value = static_cast<double>(mantissa) / kPowersOfTen[decimals];
    return {negative ? -value : value, p, true};
  }
  return {0, p, false};
}

// [first, last) is one white-space-delimited word; it may contain NUL bytes, which end the
// number as they would end a C string.
inline FieldValue parse_value(const char* first, const char* last) {
  const PlainNumber plain = parse_plain(first, last);
  if (plain.exact && plain.end == last) return {plain.value, true};
  return parse_other(first, last);
}
