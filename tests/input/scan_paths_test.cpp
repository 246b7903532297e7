// The table scanner on each way of finding white space (AVX2, SSE2, plain 64-bit words), held to
// the plain stream reading on the same tables; and the short-decimal parse held to strtod.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "input/field_scan.h"
#include "input/parse_value.h"
#include "input/table_scanner.h"
#include "reference.h"

namespace {

constexpr ScanPath kPaths[] = {ScanPath::scalar, ScanPath::sse2, ScanPath::avx2};

// The sanitizer builds run the tests some ten times slower: fewer cases there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
constexpr int kScale = 10;
#else
constexpr int kScale = 1;
#endif

// Forces each path the machine has in turn, and the best one again at the end.
template <class Check>
void on_every_path(Check check) {
  const ScanPath best = scan_path();
  for (ScanPath path : kPaths) {
    if (!force_scan_path(path)) continue;
    SCOPED_TRACE("scan path " + std::to_string(static_cast<int>(path)));
    check();
  }
  force_scan_path(best);
}

// The scanner over `text` in views that end at `cuts` (a word cut in two is presented again
// with the next view), as the reference reading reports it, lines passed included.
std::pair<ReferenceTable, std::uint64_t> scan(const std::string& text,
                                              const std::vector<std::size_t>& cuts) {
  ReferenceTable table;
  TableScanner scanner;
  auto take = [&](const TableScanner::Record& r) {
    for (int i = 0; i < kSeriesCount; ++i) {
      table.columns[i].push_back(r[i]);
      ReferenceNotNumbers& n = table.not_numbers[i];
      if ((r.not_numbers >> i & 1) && n.count++ == 0) {
        n.first = std::string(r.notes[i].text.data(), r.notes[i].size);
        n.line = r.notes[i].line;
      }
    }
    return true;
  };
  std::size_t from = 0;
  for (std::size_t k = 0; k <= cuts.size(); ++k) {
    const std::size_t to = k < cuts.size() ? cuts[k] : text.size();
    from += scanner.scan(std::string_view(text).substr(from, to - from), take, to == text.size());
  }
  return {table, scanner.lines()};
}

bool same(const ReferenceTable& got, ReferenceTable want) {
  for (ReferenceNotNumbers& n : want.not_numbers) n.first = n.first.substr(0, FieldNote::kKept);
  for (int i = 0; i < kSeriesCount; ++i) {
    const auto& a = got.columns[i];
    const auto& b = want.columns[i];
    if (a.size() != b.size() ||
        (!a.empty() && std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) != 0)) {
      return false;
    }
  }
  return got.not_numbers == want.not_numbers;
}

// A table of words of every kind, among them words and runs of white space longer than a
// batch of blocks, and header lines longer than one.
std::string random_table(std::mt19937_64& rng) {
  static const std::string kWords[] = {
      "1",       "-2.5", "0.125",  "12345.6789", "1e-5",
      "2.5E+03", "NA",   "-",      ".",          "9007199254740993",
      "0x1p3",   "-0",   "1,5",    "nan",        "1.2.3",
      "+7",      "\x01", "7.5e400"};
  static const char kBlanks[] = " \t\n\v\f\r";
  std::string text;
  const auto lines = rng() % 3 ? 3 : 1 + rng() % 3;
  for (std::size_t i = 0; i < lines; ++i) text += std::string(rng() % 9 ? 5 : 3000, 'h') + "\n";
  // Rows of eight words mostly, sometimes more or fewer, and breaks of every kind.
  const auto words = rng() % 400;
  for (std::size_t i = 0, row = 0; i < words; ++i) {
    const auto kind = rng() % 40;
    if (kind < 3) {
      // Longer than the room read ahead after a field; or than a batch of blocks.
      text += std::string(1 + rng() % (kind ? 120 : 3000), "7x"[rng() % 2]);
    } else if (kind == 3) {
      text += std::string(1 + rng() % 3000, kBlanks[rng() % 6]);
    } else {
      text += kWords[rng() % std::size(kWords)];
    }
    const bool row_end = ++row == 8 + (rng() % 8 ? 0 : rng() % 3);
    if (row_end) row = 0;
    text +=
        row_end ? (rng() % 4 ? "\n" : "\r\n") : std::string(1, kBlanks[rng() % 9 ? 0 : rng() % 6]);
  }
  return text;
}

}  // namespace

TEST(ScanPaths, ClassifyEveryByteAtEveryPlaceAlike) {
  on_every_path([] {
    for (int c = 0; c < 256; ++c) {
      for (std::size_t at = 0; at < 128; at += 7) {
        std::string bytes(128, 'x');
        bytes[at] = static_cast<char>(c);
        std::uint64_t blank[2], newline[2];
        classify_blocks(bytes.data(), 2, blank, newline);
        const bool white = c == ' ' || (c >= '\t' && c <= '\r');
        ASSERT_EQ(blank[at / 64], std::uint64_t{white} << at % 64) << c << " at " << at;
        ASSERT_EQ(newline[at / 64], std::uint64_t{c == '\n'} << at % 64) << c << " at " << at;
        ASSERT_EQ(blank[1 - at / 64] | newline[1 - at / 64], 0u);
      }
    }
  });
}

TEST(ScanPaths, ReadTablesAsThePlainReadingDoesHoweverTheyAreCut) {
  on_every_path([] {
    std::mt19937_64 rng(7);
    for (int round = 0; round < 900 / kScale; ++round) {
      const std::string text = random_table(rng);
      const ReferenceTable want = reference_table(text);
      const auto lines = static_cast<std::uint64_t>(std::count(text.begin(), text.end(), '\n'));
      std::vector<std::size_t> cuts;
      for (std::size_t at = rng() % 500; at < text.size(); at += 1 + rng() % 500) {
        cuts.push_back(at);
      }
      for (const auto& views : {std::vector<std::size_t>{}, cuts}) {
        const auto [got, passed] = scan(text, views);
        ASSERT_TRUE(same(got, want)) << "round " << round << ", " << views.size() << " cuts";
        ASSERT_EQ(passed, lines) << "round " << round;
      }
    }
  });
}

TEST(ParseValue, IsBitIdenticalToStrtodOnFieldsAimedAtTheEdgesOfTheShortForm) {
  // Digits around 19 and 20, mantissas around 2^53 and halfway between two doubles, leading
  // zeros, decimal exponents around 22 either way, signs and -0; then one character changed
  // now and then. Each field also stands before digits, which are not part of it.
  constexpr int kFields = 3000000 / kScale;
  static const char* const kMantissas[] = {"9007199254740992",    "9007199254740993",
                                           "9007199254740994",    "9007199254740991",
                                           "1234567890123456789", "12345678901234567890",
                                           "4503599627370497",    "0",
                                           "134217727",           "134217728"};
  std::mt19937_64 rng(22);
  char buffer[kReadAhead + 64];
  for (int i = 0; i < kFields; ++i) {
    std::string w = rng() % 3 ? "" : "-";
    if (rng() % 4 == 0) {
      w += kMantissas[rng() % std::size(kMantissas)];
      if (rng() % 2) {
        const std::size_t point = w.size() - rng() % (w.size() - (w[0] == '-'));
        w = w.substr(0, point) + "." + w.substr(point);
      }
    } else {
      const auto digits = 1 + rng() % 22, point = rng() % (digits + 2);
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
    char* end = nullptr;
    const double want = std::strtod(w.c_str(), &end);
    const bool number = end == w.c_str() + w.size();
    const FieldValue got = parse_value(w.data(), w.data() + w.size());
    ASSERT_EQ(std::memcmp(&want, &got.value, sizeof want), 0) << "'" << w << "'";
    ASSERT_EQ(got.number, number) << "'" << w << "'";
    if (w.size() <= static_cast<std::size_t>(kShortField)) {
      std::memset(buffer, "0123456789"[rng() % 10], sizeof buffer);
      std::memcpy(buffer, w.data(), w.size());
      const ShortNumber in_place = parse_short(buffer, buffer + w.size());
      const double value = in_place.number();
      ASSERT_TRUE(!in_place.exact || (number && std::memcmp(&want, &value, sizeof want) == 0))
          << "'" << w << "' before digits";
    }
  }
}
