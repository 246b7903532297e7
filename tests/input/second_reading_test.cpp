// A table too large to hold is read twice: what changed in between is noticed.
#include "input/second_reading.h"

#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <filesystem>

#include "binning/bin_counting.h"
#include "input/input_file.h"
#include "input/reading_cuts.h"
#include "table_files.h"

using namespace histchart;

using namespace table_files;

TEST(SecondReading, NoticesATableThatChangesBetweenTheTwoReadings) {
  const std::string rows = "x 1.0 1e999 0 0 0 0 -0\ny 1 2 3 4 5 6 7" + std::string(30, ' ') + "\n";
  const std::string base = example_table(200), text = base + rows;
  const std::string path = write_file("t.txt", text);
  // Held not at all: on one thread, in pieces on three, and compressed (read again by
  // decompressing again).
  const struct {
    int cpus;
    std::vector<std::uint64_t> starts;
    bool gzip = false;
  } runs[] = {{1, {}}, {3, {500000, 1200000}}, {1, {}, true}};
  // Between the two readings the table gains a row; or, keeping its size and time, a value is
  // no longer finite, or a row becomes two; or, keeping its size, a value changes.
  const struct {
    std::string now;
    bool same_time;
  } changes[] = {
      {text + "2 nan 1 1 1 1 1 1\n", false},
      {base + "x nan 1e999 0 0 0 0 -0" + rows.substr(22), true},
      {base + rows.substr(0, 23) + "y 1 2 3 4 5 6 7\nz nan nan nan nan nan nan nan\n", true},
      {base + "x 2.0" + rows.substr(5), false}};
  for (const auto& change : changes) {
    for (const auto& run : runs) {
      write_file("t.txt", run.gzip ? stored_gzip(text) : text);
      TableReading reading;
      ReadOptions options;
      options.memory_limit = kRunOverhead;
      options.cpus = run.cpus;
      ASSERT_FALSE(InputFile(path).read(options, {run.starts, 0}, reading));
      ASSERT_TRUE(reading.records.reads_again());
      const auto when = std::filesystem::last_write_time(path);
      write_file("t.txt", run.gzip ? stored_gzip(change.now) : change.now);
      std::filesystem::last_write_time(path,
                                       change.same_time ? when : when + std::chrono::seconds(1));
      BinCounting counting(reading.ranges, 10, run.cpus);
      const MaybeFailure failure = reading.records.for_each(
          run.cpus, [&](int worker, auto rows) { counting.count(worker, rows); });
      // The second reading notices, or else the counts do not add up.
      std::array<std::vector<Bin>, kSeriesCount> bins;
      EXPECT_TRUE(failure ? failure->line() == "histchart: cannot read input table '" + path +
                                                   "': it changed while it was read"
                          : counting.bins(bins).has_value())
          << change.now.substr(base.size());
    }
  }
  std::filesystem::remove(path);
}

TEST(SecondReading, DecodesAZstdWindowBeyondTheOverheadAsTheFirstReadingDid) {
  // A first frame of 9 MiB, whose window is its size: the threads' share of the limit holds it,
  // the share for held records does not hold the table.
  std::string text = "h\nh\nh\n";
  while (text.size() < (std::size_t{16} << 20)) text += "1 2 3 4 5 6 7 8\n";
  const std::string path =
      write_file("window.zst", compressed(Compression::zstd, text, {std::size_t{9} << 20}, 0, 24));
  ReadOptions options;
  options.memory_limit = kRunOverhead + (std::size_t{40} << 20);
  TableReading reading;
  ASSERT_FALSE(InputFile(path).read(options, reading));
  ASSERT_TRUE(reading.records.reads_again());
  EXPECT_EQ(table_of(reading).columns[6].size(), (text.size() - 6) / 16);
  std::filesystem::remove(path);
}
