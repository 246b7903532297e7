// Fields parsed as the reader parses them, held to strtod: the value bit for bit and whether the
// field is a number; also the short parse in place, before bytes that are digits.
#include "input/records/parse_value.h"

#include <gtest/gtest.h>

#include <random>
#include <sstream>
#include <string>

#include "reference.h"

using namespace histchart;

namespace {

// The sanitizer builds run the tests some ten times slower: fewer cases there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kScale = 10;
#else
constexpr int kScale = 1;
#endif

}  // namespace

TEST(ParseValue, IsBitIdenticalToStrtod) {
  // The edges of the short form: 19 and 20 digits (20 that wrap past 64 bits to a small
  // number), mantissas around 2^53 and halfway between two doubles, decimal exponents around
  // 22 either way and of more than eight digits, and the forms only strtod reads: a leading
  // '+', hexadecimal, inf and nan, overflow and underflow, fields longer than the short form.
  std::istringstream edges(
      "9007199254740993 1234567890123456789 12345678901234567890 18446744073709551621 "
      "0.18446744073709551621e20 4503599627370497.5 1e22 1e23 9007199254740993e-22 1e-23 -0 "
      "-.0e5 1e000000009 1e-0000000001 +1.5 0x10 -0X1p3 00x1 inf -nan 1e999 -1e-400 4e-320 "
      "1.7976931348623159e308 0.30000000000000004440892098500626161694526 1e 1.5e2x -. 1,5");
  for (std::string w; edges >> w;) EXPECT_EQ(reference_parse(w, '7'), "");
  // Then random fields aimed at the same edges: digits up to 26, leading zeros, signs and
  // exponents, one character changed now and then.
  static const char* const kMantissas[] = {"9007199254740992",    "9007199254740993",
                                           "9007199254740994",    "9007199254740991",
                                           "1234567890123456789", "12345678901234567890",
                                           "4503599627370497",    "0",
                                           "134217727",           "134217728"};
  std::mt19937_64 rng(22);
  for (int i = 0; i < 3000000 / kScale; ++i) {
    std::string w = rng() % 3 ? "" : "-";
    if (rng() % 4 == 0) {
      w += kMantissas[rng() % std::size(kMantissas)];
      if (rng() % 2) {
        const std::size_t point = w.size() - rng() % (w.size() - (w[0] == '-'));
        w = w.substr(0, point) + "." + w.substr(point);
      }
    } else {
      const auto digits = 1 + rng() % 26, point = rng() % (digits + 2);
      for (std::size_t k = 0; k < digits; ++k) {
        if (k == point) w += '.';
        w += "0123456789"[k == 0 && rng() % 4 ? 1 + rng() % 9 : rng() % 10];
      }
    }
    if (rng() % 3 == 0) {
      w += "eE"[rng() % 2];
      w += std::string(rng() % 2, "+-"[rng() % 2]) + std::string(rng() % 3, '0');
      w += std::to_string(rng() % 2 ? rng() % 30 : rng() % 400);
    }
    if (rng() % 8 == 0) w[rng() % w.size()] = "0123456789.eE+-x \0"[rng() % 18];
    ASSERT_EQ(reference_parse(w, "0123456789"[rng() % 10]), "");
  }
}
