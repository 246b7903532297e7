#include "driver/bin_count.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

using namespace histchart;

TEST(BinCount, ReadsLikeAtoiAndRefusesWhatHasNoSoundWalk) {
  const std::pair<const char*, std::optional<int>> cases[] = {
      {"10", 10}, {"  12", 12}, {"7x", 7},  {"+5", 5}, {"1", 1},      {"10000", 10000},
      {"0", {}},  {"abc", {}},  {"-4", {}}, {"", {}},  {"10001", {}}, {"99999999999", {}}};
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_bin_count(text), expected) << text;
}
