#include "input/input_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include <sys/stat.h>
#include <unistd.h>

#include "binning/bin_counting.h"
#include "input/holding/reading_budget.h"
#include "input/second_reading.h"
#include "table_files.h"

namespace {

using namespace table_files;

// The values held and the reports, where what was held in full was measured in full.
ReferenceTable held_table(TableReading& reading) {
  ReferenceTable table = table_of(reading);
  for (int i = 0; i < kSeriesCount; ++i) {
    if (!same_range(reading.ranges[i], range_of(table.columns[i])))
      ADD_FAILURE() << "the range of series " << i;
  }
  return table;
}

// The table as the program reads it from a file, on `cpus` threads.
ReferenceTable read(const std::string& text, int cpus = 1) {
  const std::string path = write_file("table.txt", text);
  ReadOptions options;
  options.cpus = cpus;
  options.memory_limit = kRunOverhead + (std::size_t{64} << 20);
  TableReading reading;
  const MaybeFailure failure = InputFile(path).read(options, reading);
  EXPECT_FALSE(failure) << failure->line();
  std::filesystem::remove(path);
  return held_table(reading);
}

// The example table over and over: its header lines become rows of a kind of their own.
std::string example_table(int copies) {
  std::ifstream in(HISTCHART_EXAMPLE, std::ios::binary);
  const std::string example((std::istreambuf_iterator<char>(in)), {});
  std::string text;
  for (int i = 0; i < copies; ++i) text += example;
  return text;
}

}  // namespace

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
      h + "1 " + std::string(45, 'x') + " 2 \x01\x1b[31m 4 5 6 7 " + std::string(40, 'y') + "\n"};
  for (const std::string& text : cases) {
    EXPECT_TRUE(same(read(text), canonical(reference_table(text)))) << text;
  }
  const auto column = [](const ReferenceTable& t) { return t.columns[6]; };
  EXPECT_EQ(column(canonical(reference_table(cases[0]))),
            (std::vector<double>{0, 0, 0, 8, 8, 70, 71, -16}));

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
      // A word cut in two is left where it starts, and read again with the next piece.
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

TEST(InputFile, StreamsLongLinesAndWordsThroughItsBufferWithinTheRoomForWords) {
  // Several buffers' worth, and a header line and a word each longer than the read buffer.
  const std::string text =
      std::string(1500000, 'h') + example_table(150) + "1 " + std::string(1200000, '7') + " 2 3";
  const ReferenceTable expected = canonical(reference_table(text));
  EXPECT_TRUE(same(read(text, 1), expected));
  EXPECT_TRUE(same(read(text, 2), expected));
  // Under a limit that leaves 1 MiB for a word beyond the read buffer, a 3 MB header line costs
  // nothing, and a 3 MB word does not fit; where 2 MiB are left, a word just under them fits
  // however far into the file it starts, as it does from a pipe.
  const std::string big(3000000, 'w');
  for (const auto& [table, megabytes, fits] :
       {std::tuple{big + "\nh\nh\n", 8, true}, std::tuple{"h\nh\nh\n1 " + big + " 2\n", 8, false},
        std::tuple{big + "\nh\nh\n1 " + std::string(2000000, '7') + " 2\n", 16, true}}) {
    const std::string path = write_file("long.txt", table);
    ReadOptions options;
    options.memory_limit = kRunOverhead + (std::size_t(megabytes) << 20);
    TableReading reading;
    const MaybeFailure failure = InputFile(path).read(options, reading);
    EXPECT_EQ(failure ? failure->line() : "",
              fits ? ""
                   : "histchart: out of memory reading '" + path +
                         "': a field of 3 MB on line 4 is longer than the memory allows")
        << megabytes;
    std::filesystem::remove(path);
  }
}

TEST(InputFile, NoticesATableThatChangesBetweenItsTwoReadings) {
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
    ASSERT_TRUE(change.now.size() != text.size() || change.now != text);
    for (const auto& run : runs) {
      write_file("t.txt", run.gzip ? stored_gzip(text) : text);
      TableReading reading;
      ReadOptions options;
      options.memory_limit = kRunOverhead;
      options.cpus = run.cpus;
      ASSERT_FALSE(read_table(path, options, {run.starts, 0}, reading));
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

TEST(RowHolder, KeepsEveryValueOfARecordInTheChunksItFills) {
  // Records whose values all have codes, none has one (each kept beside in the chunk, from its
  // far end, then in chunks of doubles), or some: held until four chunks are full, cut back, a
  // stretch dropped between, held again until full, and handed over; every value comes back
  // bit for bit.
  const double uncoded[] = {0.1 + 0.2, -1e300, std::numeric_limits<double>::infinity(), -0.0};
  for (const int pattern : {0, 1, 2}) {
    RowArena arena(4 * RowArena::kChunkBytes);
    RowHolder holder(arena);
    std::vector<Row> pushed;
    auto fill = [&] {
      while (holder.make_room()) {
        Row values, others;
        HeldRow codes;
        for (int i = 0; i < kSeriesCount; ++i) {
          const auto n = static_cast<std::uint64_t>(pushed.size() * kSeriesCount + i);
          const bool coded = pattern == 0 || (pattern == 2 && (n % 3 != 0));
          codes[i] = coded ? value_code::make(n % 2 == 1, static_cast<int>(n % 15),
                                              n % (value_code::kMostDigits + 1))
                           : value_code::kNone;
          values[i] = coded ? value_code::value(codes[i]) : uncoded[n % std::size(uncoded)];
          others[i] = coded ? 0 : values[i];  // as the scanner leaves them
        }
        holder.push(others, codes);
        pushed.push_back(values);
      }
    };
    fill();
    constexpr std::size_t kChunk = RowArena::kChunkBytes;
    ASSERT_GE(pushed.size(), pattern == 1
                                 ? kChunk / RowArena::kMostRowBytes - 1 + 3 * (kChunk / sizeof(Row))
                                 : 4 * (kChunk / RowArena::kMostRowBytes))
        << pattern;
    const std::size_t full = pushed.size(), kept = full - 100000, from = kept / 3, to = kept / 2;
    holder.truncate(kept);
    holder.drop(from, to);
    pushed.resize(kept);
    pushed.erase(pushed.begin() + static_cast<std::ptrdiff_t>(from),
                 pushed.begin() + static_cast<std::ptrdiff_t>(to));
    fill();
    // The chunks cut off went back to the arena: filled again, it holds about as much.
    EXPECT_GE(pushed.size() + (to - from), full - full / 20) << pattern;
    auto records = std::make_unique<TableRecords::Kept>();
    holder.hand_over(records->held.parts);
    std::vector<Row> got;
    ASSERT_FALSE(TableRecords(std::move(records)).for_each(1, [&](int, std::span<const Row> rows) {
      got.insert(got.end(), rows.begin(), rows.end());
    }));
    ASSERT_EQ(got.size(), pushed.size()) << pattern;
    EXPECT_EQ(std::memcmp(got.data(), pushed.data(), got.size() * sizeof(Row)), 0) << pattern;
  }
}
