// Every instruction set the scan is built for and the machine has classifies every byte alike;
// the reading paths test holds each to the plain reading on whole tables.
#include "input/records/field_scan.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using namespace histchart;

TEST(FieldScan, EveryPathClassifiesEveryByteAtEveryPlaceAlike) {
  auto classify = [] {
    for (int c = 0; c < 256; ++c) {
      for (std::size_t at = 0; at < 128; at += 7) {
        std::string bytes(128, 'x');
        bytes[at] = static_cast<char>(c);
        std::uint64_t blank[2], newline[2];
        classify_strides(bytes.data(), 2, blank, newline);
        const bool white = c == ' ' || (c >= '\t' && c <= '\r');
        ASSERT_EQ(blank[at / 64], std::uint64_t{white} << at % 64) << c << " at " << at;
        ASSERT_EQ(newline[at / 64], std::uint64_t{c == '\n'} << at % 64) << c << " at " << at;
        ASSERT_EQ(blank[1 - at / 64] | newline[1 - at / 64], 0u);
      }
    }
  };
  // Each in turn, and the best one again at the end.
  for (const std::int64_t target : scan_targets()) {
    force_scan_target(target);
    SCOPED_TRACE(scan_target_name(target));
    classify();
  }
  force_scan_target(0);
}
