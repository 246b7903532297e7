// Converts one field of the input table to a double exactly as the C library's atof would, and
// tells whether the field is a number at all.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cfloat>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "input/records/value_code.h"

namespace histchart {

struct FieldValue {
  double value;
  // Whether strtod reads the field to its last character. A field that is not a number ("NA",
  // "-", "1.5e2x", "1,5") still has the value atof gives it: 0 or its leading number.
  bool number;
};

// Every form but the short one (see parse_short): fast_float where it agrees with strtod by
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

// The high bit of each byte of `digits` (a word of bytes less '0') that is not 0 to 9, by
// carry-free bit tricks.
inline std::uint64_t not_digits(std::uint64_t digits) {
  return (((digits & 0x7F7F7F7F7F7F7F7F) + 0x7676767676767676) | digits) & 0x8080808080808080;
}

// The number of eight digits (bytes less '0', the first in the lowest byte): three
// multiplications that add neighbouring digits in pairs, fours and eights.
inline std::uint64_t eight_digits(std::uint64_t digits) {
  digits = digits * 10 + (digits >> 8);
  return ((digits & 0x000000FF000000FF) * (100 + (1000000ULL << 32)) +
          ((digits >> 16) & 0x000000FF000000FF) * (1 + (10000ULL << 32))) >>
         32;
}

// Eight bytes at `p` less '0', the first in the lowest byte.
inline std::uint64_t load_digits(const char* p) {
  std::uint64_t bytes;
  std::memcpy(&bytes, p, sizeof bytes);
  if constexpr (std::endian::native == std::endian::big) bytes = __builtin_bswap64(bytes);
  return bytes ^ 0x3030303030303030;
}

// Fields longer than this never take the short path.
inline constexpr std::ptrdiff_t kShortField = 32;
// What parse_short may read past `first`, whatever the field's length.
inline constexpr std::ptrdiff_t kReadAhead = kShortField + 16;

struct ShortNumber {
  // The code where the number has one (value_code.h): it is divided out only when needed.
  double number() const { return value_code::coded(code) ? value_code::value(code) : other; }

  bool exact;
  std::uint32_t code = value_code::kNone;
  double other = 0;  // the number, where it has no code
};

// The form of nearly every field, [-]digits[.digits][(e|E)[+|-]digits], where its digits make
// an integer w that a double holds exactly (at most 2^53, and at most 19 digits so that w fits
// in 64 bits) and its decimal exponent e, the exponent less the decimals, is within 22 of 0:
// then 10^|e| is exact, and w * 10^e or w / 10^-e is a single correctly rounded operation,
// which is what strtod returns. `exact` says that [first, last) is such a field in full; the
// rest (a leading '+', long mantissas, large exponents, hexadecimal, inf, nan, anything else)
// is left to parse_other.
// REQUIRES: kReadAhead bytes readable at `first`, whatever they hold.
ShortNumber parse_short_in_full(const char* first, const char* last);

// The high bits of the first n bytes of a word.
inline constexpr std::array<std::uint64_t, 9> kFirstBytes = [] {
  std::array<std::uint64_t, 9> masks{};
  for (int n = 1; n < 9; ++n) masks[n] = masks[n - 1] | std::uint64_t{0x80} << (8 * (n - 1));
  return masks;
}();

// The same, inline for fields of at most eight characters after the sign and no exponent,
// most of a table: one word of eight bytes holds the field, the point is taken out of it, and
// its digits are converted at once.
inline ShortNumber parse_short(const char* first, const char* last) {
  // Without a double's own precision in its arithmetic (x87), the one rounding is not one.
  if constexpr (FLT_EVAL_METHOD != 0) return {false};
  const bool negative = *first == '-';
  // Both words loaded at once: the choice between them waits on the sign, the loads do not.
  const std::uint64_t after_sign = load_digits(first + 1), from_first = load_digits(first);
  const std::uint64_t digits = negative ? after_sign : from_first;
  const std::ptrdiff_t length = last - first - negative;
  if (static_cast<std::size_t>(length - 1) < 8) [[likely]] {
    const int whole = std::countr_zero(not_digits(digits)) / 8;
    const int at = 8 * whole & 63;
    const bool point = whole < length && (digits >> at & 0xFF) == ('.' ^ '0');
    // The digits after the point moved down over it; a byte that is no digit moved in on top.
    const std::uint64_t below = point ? (std::uint64_t{1} << at) - 1 : ~std::uint64_t{0};
    const std::uint64_t joined = (digits & below) | ((digits >> 8 | 0xFFULL << 56) & ~below);
    const int count = static_cast<int>(length) - point;
    if ((not_digits(joined) & kFirstBytes[count]) == 0 && count > 0) {
      // At most eight digits: below 10^8, far within 2^53.
      const std::uint64_t w = eight_digits(joined << (64 - 8 * count));
      const int decimals = point ? count - whole : 0;
      return {true, value_code::make(negative, decimals, w)};
    }
  }
  return parse_short_in_full(first, last);
}

// [first, last) is one white-space-delimited word; it may contain NUL bytes, which end the
// number as they would end a C string.
inline FieldValue parse_value(const char* first, const char* last) {
  if (last - first <= kShortField) {
    char copy[kReadAhead] = {};  // the bytes after the field, read by parse_short, are no digits
    std::memcpy(copy, first, static_cast<std::size_t>(last - first));
    const ShortNumber n = parse_short(copy, copy + (last - first));
    if (n.exact) return {n.number(), true};
  }
  return parse_other(first, last);
}

}  // namespace histchart
