// Every way the reader can take a table, held to the plain reference reading on generated
// tables large enough to cross its held chunks, pieces and blocks, and mixed the way results
// tables are: runs of one form and rows of many, short decimals beside full-precision ones.
// A fast path is only as exact as the largest, most mixed input that checks it.
//
// HISTCHART_SCALE_TEST="SEEDS ROWS [FIRST]" sets how many tables, how large, and the seed of
// the first; the ordinary suite reads one of a few hundred thousand rows.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <random>
#include <sstream>

#include "binning/bin_counting.h"
#include "input/holding/reading_budget.h"
#include "input/input_file.h"
#include "input/reading_cuts.h"
#include "input/records/field_scan.h"
#include "input/second_reading.h"
#include "table_files.h"

using namespace histchart;

namespace {

using namespace table_files;

struct Scale {
  int seeds;
  std::size_t rows;
  int first = 1;  // seed
};

Scale scale() {
#if defined(__SANITIZE_THREAD__)
  Scale scale{1, 50000};
#elif defined(__SANITIZE_ADDRESS__)
  Scale scale{1, 120000};
#else
  Scale scale{1, 200000};
#endif
  if (const char* set = std::getenv("HISTCHART_SCALE_TEST")) {
    std::istringstream(set) >> scale.seeds >> scale.rows >> scale.first;
  }
  return scale;
}

// The ways a results table spells a value.
enum Form {
  kShort,         // -116.17, 3, 0.5: a short decimal
  kFull,          // %.17g: -12.869999999999999, 0.033571209838235294
  kRoundedFull,   // %.17g of a rounded value: 45.57 or -12.869999999999999
  kLongAndShort,  // the same double spelled short or at full precision, at random
  kExponent,      // %.17e, %e, %g: 1.5e-07, -3.2000000000000002e+01
  kWhole,         // whole numbers
  kDecimals,      // 13 to 16 decimals
  kZero,          // 0, -0, -0.0, 0.000
  kNotNumber,     // NA, -, 1.5e2x: read as 0 or their leading number
  kNotFinite,     // nan, inf, 1e999
  kForms
};

class TableMaker {
 public:
  explicit TableMaker(std::uint64_t seed) : rng_(seed) {}

  std::string make(std::size_t rows) {
    // Header lines longer than the scanner's batch of blocks, now and then.
    std::string text = "run dSOC CH4 N2O NO N2 NH3 N_leaching\n" +
                       std::string(chance(0.5) ? 5000 : 2, 'h') + "\nh3\n";
    // First a chunk's worth of values without a code: its holder holds what follows in wide
    // chunks, short decimals among it.
    run(std::min<std::size_t>(rows, 30000), text, kFull);
    while (rows_ < rows) run(std::min(rows - rows_, run_length()), text);
    if (chance(0.5) && text.back() == '\n') text.pop_back();  // a last row without its LF
    return text;
  }

 private:
  bool chance(double p) { return std::uniform_real_distribution<>(0, 1)(rng_) < p; }
  std::size_t pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_);
  }

  // Mostly short runs, and long ones that fill a held chunk or more in one form.
  std::size_t run_length() {
    const double u = std::uniform_real_distribution<>(0, 1)(rng_);
    if (u < 0.5) return 1 + pick(100);
    if (u < 0.8) return 100 + pick(5000);
    return 20000 + pick(60000);
  }

  // A run of rows whose fields take one form, or each its own with these weights.
  void run(std::size_t rows, std::string& text, std::optional<Form> only = std::nullopt) {
    static constexpr double kWeights[kForms] = {40, 10, 20, 15, 8, 6, 5, 3, 0.5, 0.2};
    // A run in one form is never one of the rare ones: a column of NA is not a results table.
    static constexpr double kRunWeights[kForms] = {30, 25, 20, 5, 5, 5, 5, 5, 0, 0};
    std::discrete_distribution<int> any(std::begin(kWeights), std::end(kWeights));
    std::discrete_distribution<int> runs(std::begin(kRunWeights), std::end(kRunWeights));
    const bool mixed = !only && chance(0.4);
    const auto one = only ? *only : static_cast<Form>(runs(rng_));
    const char* const end = chance(0.15) ? "\r\n" : "\n";
    // Every record split over two lines at the same field: a piece read from a line start
    // never meets the true reading.
    const int split = chance(0.05) ? static_cast<int>(pick(kSeriesCount)) : -1;
    for (std::size_t r = 0; r < rows; ++r, ++rows_) {
      text += std::to_string(rows_ + 1);
      for (int i = 0; i < kSeriesCount; ++i) {
        text += i == split || chance(0.002) ? "\n" : chance(0.01) ? "\t" : " ";
        if (chance(0.0002)) text += std::string(1 + pick(5000), " \t\n\v\f\r"[pick(6)]);
        field(mixed ? static_cast<Form>(any(rng_)) : one, i, text);
      }
      if (chance(0.02)) text += " 12 extra columns";
      text += end;
      if (chance(0.002)) text += chance(0.5) ? "\n" : "  \t\n";
    }
  }

  void field(Form form, int series, std::string& text) {
    static constexpr double kScales[kSeriesCount] = {100, 0.05, 2, 0.5, 20, 5, 30};
    double v = std::normal_distribution<>(0, kScales[series])(rng_);
    if (series > 0) v = std::fabs(v);
    char buffer[64];
    auto put = [&](const char* format, auto... args) {
      std::snprintf(buffer, sizeof buffer, format, args...);
      text += buffer;
    };
    switch (form) {
      case kShort:
        return put("%.*f", static_cast<int>(pick(5)), v);
      case kFull:
        return put("%.17g", v);
      case kRoundedFull:
        return put("%.17g", std::round(v * 100) / 100);
      case kLongAndShort: {
        const double rounded = std::round(v * 1000) / 1000;
        return chance(0.5) ? put("%.3f", rounded) : put("%.17g", rounded);
      }
      case kExponent: {
        static const char* const kFormats[] = {"%.17e", "%e", "%g", "%.1e", "%.3E"};
        return put(kFormats[pick(std::size(kFormats))], v / (chance(0.5) ? 1e6 : 1));
      }
      case kWhole:
        return put("%lld", std::llround(v));
      case kDecimals:
        return put("%.*f", 13 + static_cast<int>(pick(4)), v / 1000);
      case kZero: {
        static const char* const kZeros[] = {"0", "-0", "-0.0", "0.000", "-0e3"};
        text += kZeros[pick(std::size(kZeros))];
        return;
      }
      case kNotNumber: {
        static const char* const kWords[] = {"NA", "-", "1.5e2x", "n/a", "1,5", "\x01\x1b[31m"};
        // A word longer than the room read ahead after a field, or than a batch of blocks.
        if (chance(0.05))
          text += std::string(1 + pick(chance(0.5) ? 100 : 5000), "7x"[pick(2)]);
        else
          text += kWords[pick(std::size(kWords))];
        return;
      }
      default: {
        static const char* const kWords[] = {"nan", "inf", "-inf", "1e999"};
        text += kWords[pick(std::size(kWords))];
        return;
      }
    }
  }

  std::mt19937_64 rng_;
  std::size_t rows_ = 0;
};

// What every reading of a table must give: the reference reading's values, ranges, reports
// and bins.
struct Expected {
  std::array<Print, kSeriesCount> values;
  std::array<ValueRange, kSeriesCount> ranges;
  std::vector<ReferenceNotNumbers> not_numbers;
  std::array<std::vector<Bin>, kSeriesCount> bins;
};

constexpr int kBins = 300;

// A table as one of the formats the reader takes, in a file.
struct Source {
  Source(const std::string& name, std::string bytes)
      : bytes(std::move(bytes)), path(write_file(name, this->bytes)) {}
  ~Source() { std::filesystem::remove(path); }
  std::string bytes, path;
};

// One way of reading: from a file or a pipe, the threads and the memory it may use, where its
// pieces start and how large its blocks are.
struct Way {
  std::string name;
  const Source* source;
  int cpus = 2;
  bool pipe = false;
  std::size_t memory = kRunOverhead + (std::size_t{1} << 30);
  std::vector<std::uint64_t> starts = {};
  std::size_t block = 0;
  bool read_twice = false;  // the limit is too tight to hold every record
};

void check(const Way& way, const Expected& expected) {
  SCOPED_TRACE(way.name);
  // A pipe from a process of its own, which ends when it has given everything or the reader has
  // closed its end.
  FILE* pipe = way.pipe ? ::popen(("exec cat '" + way.source->path + "'").c_str(), "r") : nullptr;
  const std::string path =
      pipe ? "/proc/self/fd/" + std::to_string(::fileno(pipe)) : way.source->path;
  ReadOptions options;
  options.cpus = way.cpus;
  options.memory_limit = way.memory;
  TableReading reading;
  const MaybeFailure failure = InputFile(path).read(options, {way.starts, way.block}, reading);
  if (pipe) ::pclose(pipe);
  ASSERT_FALSE(failure) << failure->line();
  ASSERT_EQ(reading.records.reads_again(), way.read_twice);
  for (int i = 0; i < kSeriesCount; ++i) {
    EXPECT_TRUE(same_range(reading.ranges[i], expected.ranges[i])) << "the range of series " << i;
  }

  // Every record as the counting gets it, on the reading's threads, held or read again.
  BinCounting counting(reading.ranges, kBins, way.cpus);
  // The values come in no particular order, and sorting them would take longer than reading
  // them: their prints are compared.
  ReferenceTable got;
  const MaybeFailure records =
      take_records(reading, got, way.cpus,
                   [&](int worker, std::span<const Row> rows) { counting.count(worker, rows); });
  ASSERT_FALSE(records) << records->line();
  EXPECT_EQ(got.not_numbers, expected.not_numbers);
  for (int i = 0; i < kSeriesCount; ++i) {
    EXPECT_TRUE(print(got.columns[i]) == expected.values[i]) << "the values of series " << i;
  }
  std::array<std::vector<Bin>, kSeriesCount> bins;
  ASSERT_FALSE(counting.bins(bins)) << "the counts do not add up";
  for (int i = 0; i < kSeriesCount; ++i) {
    EXPECT_TRUE(same_bins(bins[i], expected.bins[i])) << "the bins of series " << i;
  }
}

}  // namespace

TEST(ReadingPaths, GiveThePlainReadingOfLargeMixedTables) {
  const Scale s = scale();
  for (int seed = s.first; seed < s.first + s.seeds; ++seed) {
    SCOPED_TRACE("HISTCHART_SCALE_TEST=\"1 " + std::to_string(s.rows) + " " + std::to_string(seed) +
                 "\" reads this table alone");
    const std::string text = TableMaker(static_cast<std::uint64_t>(seed)).make(s.rows);
    Expected expected;
    const ReferenceTable table = reference_table(text);
    for (int i = 0; i < kSeriesCount; ++i) {
      expected.values[i] = print(table.columns[i]);
      expected.ranges[i] = range_of(table.columns[i]);
      expected.bins[i] = reference_bins(table.columns[i], kBins);
      expected.not_numbers.push_back(table.not_numbers[i]);
      expected.not_numbers.back().first = shown(table.not_numbers[i].first);
    }

    // Every decoder, one and side by side: zstd frames and bzip2 streams of about a megabyte,
    // xz blocks, BGZF members, and a gzip stream of members that give no size (one decoder).
    std::vector<std::size_t> cuts;
    for (std::size_t at = 1000003; at < text.size(); at += 1000003) cuts.push_back(at);
    const Source plain("scale", text), zstd("scale.zst", compressed(Compression::zstd, text)),
        zstd_frames("scale-frames.zst", compressed(Compression::zstd, text, cuts)),
        bzip2("scale.bz2", compressed(Compression::bzip2, text, cuts)),
        xz("scale.xz", compressed(Compression::xz, text, {}, 1 << 20)),
        gzip("scale.gz", stored_gzip(text)), bgzf("scale.bgz", stored_gzip(text, 60000, true));
    std::vector<Way> ways;
    for (const int cpus : {1, 2, 3, 5, 8}) {
      ways.push_back({"pieces on " + std::to_string(cpus), &plain, cpus});
    }
    std::mt19937_64 rng(static_cast<std::uint64_t>(seed));
    std::vector<std::uint64_t> starts;
    for (int k = 0; k < 5; ++k) starts.push_back(rng() % text.size());
    std::sort(starts.begin(), starts.end());
    const std::size_t all = ways[0].memory;
    ways.push_back({"pieces cut anywhere", &plain, 3, false, all, starts});
    for (const int cpus : {1, 3}) {
      const std::string on = " on " + std::to_string(cpus);
      ways.push_back({"a pipe" + on, &plain, cpus, true});
      ways.push_back({"a pipe in small blocks" + on, &plain, cpus, true, all, {}, 65537});
      ways.push_back({"zstd frames" + on, &zstd_frames, cpus});
      ways.push_back({"bzip2 blocks" + on, &bzip2, cpus});
      ways.push_back({"xz blocks" + on, &xz, cpus});
      ways.push_back({"BGZF members" + on, &bgzf, cpus});
    }
    ways.push_back({"zstd", &zstd, 2});
    ways.push_back({"gzip", &gzip, 2});
    ways.push_back({"zstd frames from a pipe", &zstd_frames, 2, true});
    // Too large to hold: what was not held is read again. (A row takes at least 28 bytes.)
    for (const std::size_t held :
         {std::size_t{2} << 20, std::size_t{5} << 20, std::size_t{16} << 20}) {
      if (s.rows * 28 < held) break;
      const std::size_t memory = kRunOverhead + held;
      const std::string in = " in " + std::to_string(held >> 20) + " MiB";
      ways.push_back({"read twice on 1" + in, &plain, 1, false, memory, {}, 0, true});
      ways.push_back({"read twice on 3" + in, &plain, 3, false, memory, {}, 0, true});
      ways.push_back({"zstd frames read twice" + in, &zstd_frames, 2, false, memory, {}, 0, true});
    }
    for (const Way& way : ways) check(way, expected);

    // Every instruction set the scan is built for and the machine has finds the same words.
    for (const std::int64_t target : scan_targets()) {
      force_scan_target(target);
      check({std::string("scanning with ") + scan_target_name(target), &plain, 2}, expected);
    }
    force_scan_target(0);
    if (HasFailure()) return;
  }
}
