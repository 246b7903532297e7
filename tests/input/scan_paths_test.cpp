// Each way of finding white space (AVX2, SSE2, plain 64-bit words) classifies every byte alike
// (the reading paths test holds each to the plain reading on whole tables); and the
// short-decimal parse held to strtod.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "input/records/field_scan.h"
#include "input/records/parse_value.h"

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
