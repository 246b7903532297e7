// A value of the table in four bytes, exactly. Nearly every field of a results table is a short
// decimal, +-w / 10^d, that the reader turns into a double with one correctly rounded division;
// holding w and d instead of the double halves the memory held records take (for a large table
// most of the run's memory, and on our machines a large part of its time, spent by the kernel
// making those pages), and gives back the same double by the same division.
#pragma once

#include <array>
#include <cstdint>

namespace histchart {

namespace value_code {

// Sign in bit 31, d in bits 27 to 30, w in bits 0 to 26; d = 15 marks a value with no code.
inline constexpr int kDigitBits = 27;
inline constexpr std::uint64_t kMostDigits = (std::uint64_t{1} << kDigitBits) - 1;
inline constexpr int kMostDecimals = 14;
inline constexpr std::uint32_t kDigitMask = static_cast<std::uint32_t>(kMostDigits);
inline constexpr std::uint32_t kNone = std::uint32_t{15} << kDigitBits;

// REQUIRES: w <= kMostDigits, 0 <= decimals <= kMostDecimals.
constexpr std::uint32_t make(bool negative, int decimals, std::uint64_t w) {
  return static_cast<std::uint32_t>(negative) << 31 |
         static_cast<std::uint32_t>(decimals) << kDigitBits | static_cast<std::uint32_t>(w);
}

constexpr bool coded(std::uint32_t code) { return (code & kNone) != kNone; }

// The divisor by sign and d: a quotient takes the sign from its divisor, -0 included.
inline constexpr std::array<double, 32> kDivisors = [] {
  std::array<double, 32> divisors{};
  double power = 1;
  for (int d = 0; d < 16; ++d) {
    divisors[d] = power;
    divisors[16 + d] = -power;
    if (d < kMostDecimals) power *= 10;
  }
  return divisors;
}();

// REQUIRES: coded(code).
inline double value(std::uint32_t code) {
  return static_cast<double>(code & kDigitMask) / kDivisors[code >> kDigitBits];
}

}  // namespace value_code

}  // namespace histchart
