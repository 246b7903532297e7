#include <gtest/gtest.h>

#include <optional>

#include "driver/bin_count.h"
#include "driver/messages.h"

TEST(BinCount, ReadsLikeAtoiAndRefusesWhatHasNoSoundWalk) {
  struct Case {
    const char* text;
    std::optional<int> expected;
  };
  const Case cases[] = {
      {"10", 10},
      {"  12", 12},
      {"7x", 7},
      {"+5", 5},
      {"1", 1},
      {"10000", 10000},
      {"\t3 bins", 3},
      {"0", std::nullopt},
      {"abc", std::nullopt},
      {"-4", std::nullopt},
      {"", std::nullopt},
      {"10001", std::nullopt},
      {"2147483647", std::nullopt},
      {"99999999999", std::nullopt},
      {"-99999999999", std::nullopt},
      {"x7", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(parse_bin_count(c.text), c.expected) << c.text;
}

TEST(Messages, HaveOneShape) {
  EXPECT_EQ(diagnostic("cannot write chart", "out/dSOC.jpg", "No such file or directory"),
            "histchart: cannot write chart 'out/dSOC.jpg': No such file or directory");
}
