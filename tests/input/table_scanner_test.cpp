#include "input/table_scanner.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "input/parse_value.h"

namespace {

using Columns = std::vector<std::vector<double>>;

Columns scan_whole(const std::string& text) {
  SeriesTable table;
  TableScanner(table).scan(text);
  Columns columns;
  for (const Series& s : table) columns.emplace_back(s.values.begin(), s.values.end());
  return columns;
}

// Rows of seven values; field 1 and any further fields are not part of them.
Columns rows(std::vector<std::vector<double>> values) {
  Columns columns(7);
  for (const auto& row : values) {
    for (int i = 0; i < 7; ++i) columns[i].push_back(row[i]);
  }
  return columns;
}

const std::string kHeader = "h1\nh2\nh3\n";

}  // namespace

TEST(TableScanner, AppliesTheRecordRules) {
  struct Case {
    const char* name;
    std::string text;
    Columns expected;
  };
  const Case cases[] = {
      {"two rows", kHeader + "1 10 20 30 40 50 60 70\n2 11 21 31 41 51 61 71\n",
       rows({{10, 20, 30, 40, 50, 60, 70}, {11, 21, 31, 41, 51, 61, 71}})},
      {"extra columns ignored", kHeader + "1 2 3 4 5 6 7 8 9 10\n", rows({{2, 3, 4, 5, 6, 7, 8}})},
      {"tabs and runs of spaces", kHeader + "1\t2  3\t\t4 \t5 6 7 8\n",
       rows({{2, 3, 4, 5, 6, 7, 8}})},
      {"record split over lines", kHeader + "1 2 3 4\n5 6 7 8 99\n", rows({{2, 3, 4, 5, 6, 7, 8}})},
      {"blank and white-space lines", kHeader + "\n1 2 3 4 5 6 7 8\n\n  \t\n1 9 9 9 9 9 9 9\n\n",
       rows({{2, 3, 4, 5, 6, 7, 8}, {9, 9, 9, 9, 9, 9, 9}})},
      {"non-numbers read as atof does", kHeader + "x abc 1.5e2x -.5 +3 0x1p3 1e-400 .\n",
       rows({{0, 150, -0.5, 3, 8, 0, 0}})},
      {"CR LF rows", "h1\r\nh2\r\nh3\r\n1 2 3 4 5 6 7 8\r\n1 3 4 5 6 7 8 9\r\n",
       rows({{2, 3, 4, 5, 6, 7, 8}, {3, 4, 5, 6, 7, 8, 9}})},
      {"fourth header line is data", "h1\nh2\nh3\nh4 h4b\n1 2 3 4 5 6 7 8\n",
       rows({{0, 1, 2, 3, 4, 5, 6}})},
      {"two-line header loses the first row", "h1\nh2\n1 2 3 4 5 6 7 8\n1 3 4 5 6 7 8 9\n",
       rows({{3, 4, 5, 6, 7, 8, 9}})},
      {"headers only", kHeader, Columns(7)},
      {"one line", "just one line", Columns(7)},
      {"empty file", "", Columns(7)},
      {"last row without line break counts", kHeader + "1 2 3 4 5 6 7 8\n1 3 4 5 6 7 8 9",
       rows({{2, 3, 4, 5, 6, 7, 8}, {3, 4, 5, 6, 7, 8, 9}})},
      {"complete last row with trailing blanks", kHeader + "1 2 3 4 5 6 7 8  ",
       rows({{2, 3, 4, 5, 6, 7, 8}})},
      {"incomplete last record is dropped", kHeader + "1 2 3 4 5 6 7 8\n1 3 4 5\n",
       rows({{2, 3, 4, 5, 6, 7, 8}})},
      {"NUL ends a number as in a C string", kHeader + std::string("1 2\0009 3 4 5 6 7 8\n", 18),
       rows({{2, 3, 4, 5, 6, 7, 8}})},
      {"vertical tab and form feed separate", kHeader + "1\v2\f3 4 5 6 7 8\n",
       rows({{2, 3, 4, 5, 6, 7, 8}})},
  };
  for (const Case& c : cases) EXPECT_EQ(scan_whole(c.text), c.expected) << c.name;
}

TEST(TableScanner, KeepsTheHeaderLines) {
  SeriesTable table;
  TableScanner scanner(table);
  scanner.scan("first\r\n\nthird line\n1 2 3 4 5 6 7 8\n");
  EXPECT_EQ(scanner.headers()[0], "first\r");
  EXPECT_EQ(scanner.headers()[1], "");
  EXPECT_EQ(scanner.headers()[2], "third line");
}

TEST(ParseValue, IsBitIdenticalToAtof) {
  std::vector<std::string> words = {"0",
                                    "-0",
                                    "1",
                                    "-1.5",
                                    "0.1",
                                    ".5",
                                    "-.5",
                                    "5.",
                                    "1e5",
                                    "1E-5",
                                    "1e",
                                    "1e+",
                                    "1.5e2x",
                                    "+3",
                                    "0x1p3",
                                    "-0X10",
                                    "inf",
                                    "-inf",
                                    "nan",
                                    "-nan",
                                    "infinity",
                                    "1e999",
                                    "-1e999",
                                    "1e-400",
                                    "-1e-400",
                                    "4e-320",
                                    "abc",
                                    "-",
                                    ".",
                                    "--1",
                                    "1.2.3",
                                    "00x1",
                                    "1,5",
                                    "123456789012345678901234567890",
                                    "0.30000000000000004",
                                    "2.2250738585072011e-308",
                                    "1.7976931348623157e308",
                                    "1.7976931348623159e308",
                                    std::string("12\0003", 4)};
  std::mt19937_64 rng(42);
  const std::string alphabet = "0123456789.eE+-x";
  for (int i = 0; i < 20000; ++i) {
    std::string w;
    const int len = 1 + static_cast<int>(rng() % 24);
    for (int k = 0; k < len; ++k) w += alphabet[rng() % (k < 2 ? alphabet.size() : 12)];
    words.push_back(w);
  }
  for (int i = 0; i < 20000; ++i) {
    double v;
    const std::uint64_t bits = rng();
    std::memcpy(&v, &bits, sizeof v);
    if (!std::isfinite(v)) continue;
    char text[40];
    std::snprintf(text, sizeof text, "%.*g", static_cast<int>(rng() % 18) + 1, v);
    words.push_back(text);
  }
  for (const std::string& w : words) {
    const double expected = std::atof(w.c_str());
    const double got = parse_value(w.data(), w.data() + w.size());
    EXPECT_EQ(std::memcmp(&expected, &got, sizeof got), 0) << "'" << w << "'";
  }
}
