#include "chart/text_measures.h"

#include <gtest/gtest.h>

#include <tuple>

using namespace histchart;

TEST(TextMeasureKey, SharesAMeasureOnlyAmongTextsOfOneSizeAngleAndSetOfCharacters) {
  // A text of size 10 at angle 0, and one of `size` and `angle`.
  const std::tuple<const char*, const char*, int, double, bool> cases[] = {
      {"0.25", "5.2020", 10, 0.0, true},  // order and repetition do not matter
      {"12", "12", 12, 0.0, false},      {"Count", "Count", 10, -11.0, false},
      {"A", "a", 10, 0.0, false},     // 32 apart
      {"?", "\x7f", 10, 0.0, false},  // 64 apart
      {"", " ", 10, 0.0, false}};
  for (const auto& [a, b, size, angle, shared] : cases) {
    const auto key_a = text_measure_key(a, 10, 0.0), key_b = text_measure_key(b, size, angle);
    ASSERT_TRUE(key_a && key_b);
    EXPECT_EQ(!(*key_a < *key_b) && !(*key_b < *key_a), shared) << a << " " << b;
  }
  // What GD decodes first has no key.
  for (const char* text : {"&#65;", "\xc3\xa9", "a&b"})
    EXPECT_FALSE(text_measure_key(text, 10, 0.0));
}
