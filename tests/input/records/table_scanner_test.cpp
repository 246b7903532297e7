// The record rules: a table read as the plain stream reading reads it, however its bytes come.
#include "input/records/table_scanner.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "input/records/not_numbers.h"
#include "table_files.h"

using namespace histchart;

using namespace table_files;

TEST(TableScanner, ReadsRecordsAndReportsFieldsAsThePlainStreamReadingDoes) {
  // Rows with further columns, tabs and runs of blanks, a record split over lines, blank
  // lines, and whatever atof makes of a field; CR LF rows; a fourth header line, which is
  // data, and a two-line header, which loses a row; tables too short to hold a row; a last row
  // without a line break, which counts, and an incomplete last record, which does not; vertical
  // tab and form feed, which separate. Fields that are not numbers: missing values, comma
  // rows, a header word, long fields, control bytes; nan, inf and 1e999 are numbers.
  const std::string h = "h1\nh2\nh3\n";
  const std::string cases[] = {
      h + "1 10 20 30 40 50 60 70\n2 11 21 31 41 51 61 71 9 10\n1\t2  3\t\t4 \t5 6 7 8\n1 2 3 4\n"
          "5 6 7 8 99\n\n  \t\n1 1.5e2x -.5 +3 0x1p3 1e-400 . abc\n1 nan -inf 1e999 -0 5. 007.50 "
          "-.\n1 1e 1E-5 --1 1.2.3 00x1 1,5 -0X10\n1 9007199254740993 0.30000000000000004 4e-320 "
          "1.7976931348623159e308 1e99 0 0\n\n",
      "h1\r\nh2\r\nh3\r\n1 2 3 4 5 6 7 8\r\n\r\n1 3 4 5 6 7 8 9\r\n",
      "h1\nh2\nh3\nrun dSOC CH4 N2O\nNO N2 NH3 N_leaching\n1 2 3 4 5 6 7 8\n",
      "h1\nh2\n1 2 3 4 5 6 7 8\n1 3 4 5 6 7 8 9\n",
      h,
      "just one line",
      "",
      h + "1 2 3 4 5 6 7 8\n1 3 4 5 6 7 8 9",
      h + "1 2 3 4 5 6 7 8\n1 3 4 5 NA\n",
      h + "1\v2\f3 4 5 6 7 8\n",
      h + "1 NA - n/a 4 5 6 7\n2 1 NA 3 4 5 6 "
          "7\n1,2,3,4,5,6,7,8\n1,2,3,4,5,6,7,8\n1,2,3,4,5,6,7,8\n"
          "1,2,3,4,5,6,7,8\n1,2,3,4,5,6,7,8\n1,2,3,4,5,6,7,8\n1,2,3,4,5,6,7,8\n1,2,3,4,5,6,7,8\n",
      h + "1 " + std::string(41, 'x') + " 2 \x01\x1b[31m 4 5 6 " + std::string(40, 'y') + "\n"};
  for (const std::string& text : cases) {
    EXPECT_TRUE(same(read(text), canonical(reference_table(text)))) << text;
  }

  const std::string path = write_file("report.txt", std::end(cases)[-1]);
  TableReading table;
  ASSERT_FALSE(InputFile(path).read({}, table));
  std::filesystem::remove(path);
  EXPECT_EQ(not_numbers_line("dSOC", table.not_numbers[0]),
            "histchart: fields read as 0 or their leading number in 'dSOC': 1 is not a number, "
            "'xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx...' on line 4");
  EXPECT_EQ(not_numbers_line("N2O", table.not_numbers[2]),
            "histchart: fields read as 0 or their leading number in 'N2O': 1 is not a number, "
            "'\\x01\\x1b[31m' on line 4");
}

TEST(TableScanner, TakesTheSameRecordsHoweverTheBytesAreCut) {
  // Records that end right at a line break, after the skipped rest of a line, across lines; a
  // field that is not a number; a word at the very end. One cut and two, everywhere.
  const std::string text = "h1\nh2 x\nh3\n1 2 3 4 5 6 7 8\n1 2 3 a 5 6 7 8 9\n1 2 3\n4 5 6 7 8 0";
  auto scan = [&](const std::vector<std::size_t>& cuts) {
    std::string records;
    TableScanner scanner;
    auto take = [&](const TableScanner::Record& r) {
      for (int i = 0; i < kSeriesCount; ++i) records += std::to_string(r[i]) + " ";
      for (int i = 0; i < 7; ++i) {
        if (r.not_numbers & (1 << i))
          records += std::to_string(r.notes[i].line) + ":" + std::to_string(r.notes[i].offset);
      }
      records += "\n";
      return true;
    };
    std::size_t from = 0;
    for (std::size_t k = 0; k <= cuts.size(); ++k) {
      const std::size_t to = k < cuts.size() ? cuts[k] : text.size();
      // A word cut in two is left where it starts, and read again with the next view.
      from += scanner.scan(std::string_view(text).substr(from, to - from), take, to == text.size());
    }
    return records + std::to_string(scanner.lines());
  };
  const std::string whole = scan({});
  EXPECT_EQ(std::count(whole.begin(), whole.end(), '\n'), 3);
  for (std::size_t a = 0; a <= text.size(); ++a) {
    EXPECT_EQ(scan({a}), whole) << a;
    for (std::size_t b = a; b <= text.size(); ++b) ASSERT_EQ(scan({a, b}), whole) << a << " " << b;
  }
  // A NUL byte ends a number as it ends a C string (a table holds one only past its first
  // 64 KiB, where it is not taken for binary data).
  std::string nul = "h\nh\nh\n1 2";
  nul += std::string(1, '\0') + "9 3 4 5 6 7 8\n";
  TableScanner scanner;
  double dsoc = 0;
  scanner.scan(
      nul, [&](const TableScanner::Record& r) { return dsoc = r[0], true; }, true);
  EXPECT_EQ(dsoc, 2);
}
