#include "input/input_file.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "driver/histogram_job.h"
#include "input/table_scanner.h"
#include "support/temp_dir.h"

namespace {

std::vector<std::vector<double>> columns(const SeriesTable& table) {
  std::vector<std::vector<double>> result;
  for (const Series& s : table) result.emplace_back(s.values.begin(), s.values.end());
  return result;
}

}  // namespace

TEST(InputFile, RaisesTheOpenMessageAndLeavesSeriesAlone) {
  SeriesTable table;
  InputFile reader("/no/such/dir/results.txt");
  try {
    reader.read(table);
    FAIL() << "no error raised";
  } catch (const std::string& message) {
    EXPECT_EQ(message, "Unable to open file: /no/such/dir/results.txt");
  }
  for (const Series& s : table) EXPECT_TRUE(s.values.empty());
  EXPECT_TRUE(reader.header1.empty());
}

TEST(InputFile, ADirectoryIsAReadErrorNotAnEmptyTable) {
  TempDir dir;
  HistogramJob job(dir.path().string(), 10, "font.ttf", "out_");
  try {
    job.read_data();
    FAIL() << "no error raised";
  } catch (const std::string& message) {
    EXPECT_EQ(message,
              "histchart: cannot read input table '" + dir.path().string() + "': Is a directory");
  }
}

TEST(InputFile, StreamsLargeTablesLikeTheWholeText) {
  // Several buffers' worth, CR LF rows, a record split across lines, a header line and a word
  // each longer than the read buffer, and no line break at the end.
  std::mt19937 rng(3);
  std::string text = std::string(1500000, 'h') + "\nh2\r\nh3\n";
  for (int row = 0; row < 60000; ++row) {
    text += std::to_string(row);
    for (int f = 0; f < 7; ++f) {
      text += (rng() % 5 == 0) ? "\t" : " ";
      text += std::to_string(static_cast<int>(rng() % 20000) - 10000) + "." +
              std::to_string(rng() % 1000);
    }
    text += (row % 3 == 0) ? " extra\r\n" : (row % 7 == 0 ? "" : "\n");
  }
  text += "1 " + std::string(1200000, '7') + " 2 3 4 5 6 7";
  TempDir dir;
  InputFile reader(dir.write("big.txt", text));
  SeriesTable from_file;
  EXPECT_TRUE(reader.read(from_file));
  SeriesTable expected;
  TableScanner(expected).scan(text);
  EXPECT_EQ(columns(from_file), columns(expected));
  EXPECT_GT(from_file.at(0).values.size(), 50000u);
  EXPECT_EQ(reader.header1.size(), 1500000u);
  EXPECT_EQ(reader.header2, "h2\r");
  EXPECT_EQ(reader.header3, "h3");
}
