// Fields parsed as the reader parses them, held to strtod: the value bit for bit and whether the
// field is a number; also the short parse in place, before bytes that are digits. The fuzz
// target and the reading paths test take random fields; these are the edges.
#include "input/records/parse_value.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "reference.h"

using namespace histchart;

TEST(ParseValue, IsBitIdenticalToStrtod) {
  // The edges of the short form: 19 and 20 digits (20 that wrap past 64 bits to a small
  // number), mantissas around 2^53 and halfway between two doubles, decimal exponents around
  // 22 either way and of more than eight digits, and the forms only strtod reads: a leading
  // '+', hexadecimal, inf and nan, overflow and underflow, fields longer than the short form.
  std::istringstream edges(
      "9007199254740993 1234567890123456789 12345678901234567890 18446744073709551621 "
      "0.18446744073709551621e20 4503599627370497.5 1e22 1e23 9007199254740993e-22 1e-23 -0 "
      "-.0e5 1e000000009 1e-0000000001 +1.5 0x10 -0X1p3 00x1 inf -nan 1e999 -1e-400 4e-320 "
      "1.7976931348623159e308 0.30000000000000004440892098500626161694526 1e 1.5e2x -. 1,5 "
      "900719925474099.3 -90071992547409.92e1 13421772.7 0.134217728 000000000000000000001.5");
  for (std::string w; edges >> w;) {
    for (const char digit : {'0', '7'}) EXPECT_EQ(reference_parse(w, digit), "");
  }
}
