#include "input/input_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>

#include <sys/stat.h>
#include <unistd.h>

#include <isa-l/crc.h>

#include "binning/bin_counting.h"
#include "input/reading_budget.h"
#include "reference.h"

namespace {

// A file of this test run's own, in the temporary directory.
std::string write_file(const std::string& name, const std::string& content) {
  const auto path = std::filesystem::temp_directory_path() /
                    ("histchart-test-" + std::to_string(::getpid()) + "-" + name);
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

// A report's first field as the program keeps it: its first 40 bytes, "..." where it goes on.
std::string shown(const std::string& field) {
  return field.size() > FieldNote::kKept ? field.substr(0, FieldNote::kKept) + "..." : field;
}

// Values in an order of their own (pieces hold them in no particular one), bit for bit: -0.0
// is not 0.0 and NaN is itself.
ReferenceTable canonical(ReferenceTable table) {
  for (auto& column : table.columns) {
    std::sort(column.begin(), column.end(), [](double a, double b) {
      std::uint64_t x, y;
      std::memcpy(&x, &a, sizeof x);
      std::memcpy(&y, &b, sizeof y);
      return x < y;
    });
  }
  for (ReferenceNotNumbers& n : table.not_numbers) n.first = shown(n.first);
  return table;
}

bool same(const ReferenceTable& a, const ReferenceTable& b) {
  auto bits = [](const std::vector<double>& x, const std::vector<double>& y) {
    return x.size() == y.size() &&
           (x.empty() || std::memcmp(x.data(), y.data(), x.size() * sizeof(double)) == 0);
  };
  return std::equal(a.columns.begin(), a.columns.end(), b.columns.begin(), bits) &&
         a.not_numbers == b.not_numbers;
}

// Whether two ranges are the same bit for bit (-0.0 is not 0.0).
bool same_range(const ValueRange& a, const ValueRange& b) {
  return std::memcmp(&a.min, &b.min, sizeof a.min) == 0 &&
         std::memcmp(&a.max, &b.max, sizeof a.max) == 0 && a.finite == b.finite &&
         a.non_finite == b.non_finite;
}

ReferenceTable table_of(const TableReading& reading) {
  ReferenceTable table;
  for (const HeldPart& part : reading.held.parts) {
    for (std::size_t r = 0; r < part.size(); ++r) {
      for (int i = 0; i < kSeriesCount; ++i) table.columns[i].push_back(part.value_at(r, i));
    }
  }
  // What was held in full was measured in full.
  for (int i = 0; i < kSeriesCount && !reading.unheld; ++i) {
    ValueRange held;
    for (const double v : table.columns[i]) held.add(v);
    if (!same_range(reading.ranges[i], held)) ADD_FAILURE() << "the range of series " << i;
  }
  for (int i = 0; i < kSeriesCount; ++i) {
    const NotNumbers& n = reading.not_numbers[i];
    table.not_numbers[i] = {
        n.count,
        n.count ? std::string(n.first.text.data(), n.first.size) + (n.first.longer ? "..." : "")
                : "",
        n.count ? n.first.line : 0};
  }
  return canonical(std::move(table));
}

// The table as the program reads it from a file: on `cpus` threads, in pieces that begin at
// `starts` where given; from a pipe, in blocks of `block` bytes, where that is given.
ReferenceTable read(const std::string& text, int cpus = 1, std::vector<std::uint64_t> starts = {},
                    std::size_t block = 0) {
  const std::string file = write_file("table.txt", text);
  ReadOptions options;
  options.cpus = cpus;
  options.memory_limit = kRunOverhead + (std::size_t{64} << 20);
  options.piece_starts = std::move(starts);
  options.block_size = block;
  std::string path = file;
  int pipe_ends[2] = {-1, -1};
  if (block > 0) {
    // The whole table fits in the pipe: no writer needs to run beside the reader.
    EXPECT_EQ(::pipe(pipe_ends), 0);
    EXPECT_EQ(::write(pipe_ends[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(pipe_ends[1]);
    path = "/proc/self/fd/" + std::to_string(pipe_ends[0]);
  }
  TableReading reading;
  const MaybeFailure failure = InputFile(path).read(options, reading);
  EXPECT_FALSE(failure) << failure->line();
  if (block > 0) ::close(pipe_ends[0]);
  std::filesystem::remove(file);
  return table_of(reading);
}

// A table as gzip data in stored (uncompressed) deflate blocks: a table and a changed copy of
// the same length make files of the same size.
std::string stored_gzip(const std::string& text) {
  std::string out("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
  auto put = [&](std::uint32_t v, int bytes) {
    for (int k = 0; k < bytes; ++k) out += static_cast<char>(v >> (8 * k));
  };
  for (std::size_t at = 0; at == 0 || at < text.size(); at += 65535) {
    const auto n = static_cast<std::uint32_t>(std::min<std::size_t>(65535, text.size() - at));
    out += static_cast<char>(at + n >= text.size());  // the last block, stored
    put(n, 2);
    put(~n, 2);
    out.append(text, at, n);
  }
  put(crc32_gzip_refl(0, reinterpret_cast<const unsigned char*>(text.data()), text.size()), 4);
  put(static_cast<std::uint32_t>(text.size()), 4);
  return out;
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

TEST(InputFile, ReadsPiecesAndBlocksAsOneReadingDoes) {
  // Records split over two and three lines, blank and white-space lines, CR LF rows, extra
  // columns, fields that are not numbers (also far from the start, where a piece's own
  // reading finds them), non-finite values, a long line, and an incomplete record at the end.
  std::string text =
      "h1\nh2\nh3\n1 2 3 4\n5 6 7 8\n2 2.5 NA\n3\n4 5 6 7 9\n\n   \t \r\n3 1 1 1 1 1 1 1\r\n"
      "4 nan inf 1e999 -0 1,5 x 7 8 9 10\n5 1 2 3 4 5 6 7\n6 " +
      std::string(300, '9') + " 1 2 3 4 5 6 " + std::string(200, 'z') + "\n7 1 2\n3 4\n5 6\n7\n";
  for (int i = 0; i < 20; ++i) text += "9 1 2 3 4 5 6 7\n";
  text += "9 1 - 3 4 5 6 -7-\n9 1 2 3 4 5 6 7\n8 1";
  // Records split the same way on every line: a piece or a block that starts inside a record
  // never meets the true reading, and is read again whole.
  std::string split = "h\nh\nh\n";
  for (int i = 0; i < 80; ++i)
    split += std::to_string(i) + " 1.5 " + std::to_string(i % 9) + " 3\n4 5 6 7\n";
  for (const std::string& table : {text, split}) {
    const ReferenceTable expected = canonical(reference_table(table));
    for (std::uint64_t cut = 0; cut <= table.size(); ++cut) {
      ASSERT_TRUE(same(read(table, 2, {cut}), expected)) << "a cut at " << cut;
    }
    for (std::size_t block : {1, 2, 3, 5, 8, 13, 40, 200, 300, 1000}) {
      EXPECT_TRUE(same(read(table, 3, {}, block), expected)) << "blocks of " << block;
      EXPECT_TRUE(same(read(table, 1, {}, block), expected)) << "blocks of " << block;
    }
  }
  const std::string small = "h\nh\nh\n1 2 3\n4 5 6 7 8\n9 1 2 3 x 5 6 7\n8\n1 2";
  const ReferenceTable expected_small = canonical(reference_table(small));
  for (std::uint64_t a = 0; a <= small.size(); ++a) {
    for (std::uint64_t b = a + 1; b <= small.size(); ++b) {
      ASSERT_TRUE(same(read(small, 3, {a, b}), expected_small)) << "cuts at " << a << ", " << b;
    }
  }
}

TEST(ParseValue, IsBitIdenticalToAtofAndReadWholeWhereStrtodIs) {
  // Plain decimals around the limits of the fast path (19 digits, 2^53, 22 decimals), half of
  // them with a character of another number form put in.
  std::mt19937_64 rng(42);
  for (int i = 0; i < 30000; ++i) {
    std::string w = rng() % 3 ? "" : "-";
    const auto digits = 1 + rng() % 26, point = rng() % (digits + 2);
    for (std::size_t k = 0; k < digits; ++k) {
      if (k == point) w += '.';
      w += "0123456789"[rng() % 10];
    }
    if (i % 2) w[rng() % w.size()] = "0123456789.eE+-x"[rng() % 16];
    char* end = nullptr;
    const double expected = std::strtod(w.c_str(), &end);
    const FieldValue got = parse_value(w.data(), w.data() + w.size());
    ASSERT_EQ(std::memcmp(&expected, &got.value, sizeof expected), 0) << "'" << w << "'";
    ASSERT_EQ(got.number, end == w.c_str() + w.size()) << "'" << w << "'";
  }
}

TEST(InputFile, StreamsLongLinesAndWordsThroughItsBufferWithinTheRoomForWords) {
  // Several buffers' worth, and a header line and a word each longer than the read buffer.
  const std::string text =
      std::string(1500000, 'h') + example_table(150) + "1 " + std::string(1200000, '7') + " 2 3";
  const ReferenceTable expected = canonical(reference_table(text));
  EXPECT_TRUE(same(read(text, 1), expected));
  EXPECT_TRUE(same(read(text, 2), expected));
  // Under a limit that leaves 1 MiB for a word beyond the read buffer, a 3 MB header line costs
  // nothing, and a 3 MB word does not fit.
  for (const bool word : {false, true}) {
    const std::string big = std::string(3000000, 'w');
    const std::string path =
        write_file("long.txt", word ? "h\nh\nh\n1 " + big + " 2\n" : big + "\nh\nh\n");
    ReadOptions options;
    options.memory_limit = kRunOverhead + (8 << 20);
    TableReading reading;
    const MaybeFailure failure = InputFile(path).read(options, reading);
    EXPECT_EQ(failure ? failure->line() : "",
              word ? "histchart: out of memory reading '" + path +
                         "': a field of 3 MB on line 4 is longer than the memory allows"
                   : "");
    std::filesystem::remove(path);
  }
}

TEST(InputFile, CountsWhatItCannotHoldByReadingTheFileAgain) {
  const std::string rows = "x 1.0 1e999 0 0 0 0 -0\ny 1 2 3 4 5 6 7" + std::string(30, ' ') + "\n";
  const std::string text = example_table(200) + rows;
  const std::string path = write_file("t.txt", text);
  // Held in full, held in part (a chunk of about 75,000 of its 80,002 records), held not at all; on
  // one thread and in pieces on three; and compressed, read again by decompressing again.
  struct Run {
    std::size_t memory;
    int cpus;
    std::vector<std::uint64_t> starts;
    bool gzip = false;
  };
  constexpr std::size_t kPart = kRunOverhead + (std::size_t{4} << 20);
  const Run runs[] = {{kRunOverhead + 56000000, 1, {}},
                      {kPart, 1, {}},
                      {kRunOverhead, 1, {}},
                      {kPart, 3, {500000, 1200000}},
                      {kRunOverhead, 3, {500000, 1200000}},
                      {kRunOverhead, 1, {}, true},
                      {kPart, 3, {}, true}};
  auto write_table = [&](const Run& run, const std::string& table) {
    write_file("t.txt", run.gzip ? stored_gzip(table) : table);
  };
  // The first reading, then the counting of what it held and of what it reads again; nothing
  // where the two readings did not agree.
  using Bins = std::array<std::vector<Bin>, kSeriesCount>;
  auto first_reading = [&](const Run& run, TableReading& reading) {
    write_table(run, text);
    ReadOptions options;
    options.memory_limit = run.memory;
    options.cpus = run.cpus;
    options.piece_starts = run.starts;
    ASSERT_FALSE(InputFile(path).read(options, reading));
    EXPECT_EQ(reading.unheld.has_value(), &run != runs);
  };
  auto count = [&](const Run& run, TableReading& reading, MaybeFailure& failure) {
    BinCounting counting(reading.ranges, 10, run.cpus);
    failure = counting.count_held(reading.held.parts);
    if (!failure && reading.unheld) {
      failure = read_again(*reading.unheld, path, run.cpus,
                           [&](int worker, auto rows) { counting.count(worker, rows); });
    }
    return failure ? std::nullopt : counting.bins();
  };
  std::optional<Bins> all;
  for (const Run& run : runs) {
    TableReading reading;
    first_reading(run, reading);
    MaybeFailure failure;
    const std::optional<Bins> bins = count(run, reading, failure);
    ASSERT_TRUE(bins);
    if (!all) all = bins;
    for (int i = 0; i < kSeriesCount; ++i) EXPECT_TRUE(same_bins((*all)[i], (*bins)[i])) << i;
  }
  // Between the two readings the table gains a row; or, keeping its size and time, a value is
  // no longer finite, or a row becomes two; or, keeping its size, a value changes.
  const std::string base = example_table(100);
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
    for (const Run& run : {runs[2], runs[4], runs[5]}) {
      TableReading reading;
      first_reading(run, reading);
      const auto when = std::filesystem::last_write_time(path);
      write_table(run, change.now);
      std::filesystem::last_write_time(path,
                                       change.same_time ? when : when + std::chrono::seconds(1));
      MaybeFailure failure;
      const bool counted = count(run, reading, failure).has_value();
      // The second reading notices, or else the counts do not add up.
      EXPECT_TRUE(failure ? failure->line() == "histchart: cannot read input table '" + path +
                                                   "': it changed while it was read"
                          : !counted)
          << change.now.substr(base.size());
    }
  }
  std::filesystem::remove(path);
}

TEST(Holder, KeepsEveryValueOfARecordInTheChunksItFills) {
  // Records whose values all have codes, none has one (each kept beside in the chunk, from its
  // far end, then in chunks of doubles), or some: held until four chunks are full, cut back, a
  // stretch dropped between, held again until full, and handed over; every value comes back
  // bit for bit.
  const double uncoded[] = {0.1 + 0.2, -1e300, std::numeric_limits<double>::infinity(), -0.0};
  for (const int pattern : {0, 1, 2}) {
    RowArena arena(4 * RowArena::kChunkBytes);
    Holder holder(arena);
    std::vector<Row> pushed;
    auto fill = [&] {
      while (holder.make_room()) {
        Row values;
        HeldRow codes;
        for (int i = 0; i < kSeriesCount; ++i) {
          const auto n = static_cast<std::uint64_t>(pushed.size() * kSeriesCount + i);
          const bool coded = pattern == 0 || (pattern == 2 && (n % 3 != 0));
          codes[i] = coded ? value_code::make(n % 2 == 1, static_cast<int>(n % 15),
                                              n % (value_code::kMostDigits + 1))
                           : value_code::kNone;
          values[i] = coded ? value_code::value(codes[i]) : uncoded[n % std::size(uncoded)];
        }
        holder.push(values, codes);
        pushed.push_back(values);
      }
    };
    fill();
    constexpr std::size_t kChunk = RowArena::kChunkBytes;
    ASSERT_GE(pushed.size(), pattern == 1
                                 ? kChunk / RowArena::kMostRowBytes - 1 + 3 * (kChunk / sizeof(Row))
                                 : 4 * (kChunk / RowArena::kMostRowBytes))
        << pattern;
    const std::size_t kept = pushed.size() - 100000, from = kept / 3, to = kept / 2;
    holder.truncate(kept);
    holder.drop(from, to);
    pushed.resize(kept);
    pushed.erase(pushed.begin() + static_cast<std::ptrdiff_t>(from),
                 pushed.begin() + static_cast<std::ptrdiff_t>(to));
    fill();
    std::vector<HeldPart> parts;
    holder.hand_over(parts);
    std::vector<Row> got;
    for (const HeldPart& part : parts) {
      for (std::size_t r = 0; r < part.size(); ++r) {
        Row values;
        for (int i = 0; i < kSeriesCount; ++i) values[i] = part.value_at(r, i);
        got.push_back(values);
      }
    }
    ASSERT_EQ(got.size(), pushed.size()) << pattern;
    EXPECT_EQ(std::memcmp(got.data(), pushed.data(), got.size() * sizeof(Row)), 0) << pattern;
  }
}
